#include "managers/shadermanager.h"

ShaderManager::ShaderManager(FileManager* files, std::string folder)
    : m_folder(std::move(folder)), m_files(files) {}

ShaderManager::~ShaderManager() {
    clear();
}

RefPtr<d3d::ID3DXEffect> ShaderManager::getEffect(d3d::IDirect3DDevice9* device, const std::string& name) {
    const std::string key = toUpperAscii(name);
    const auto cached = m_cache.find(key);
    if (cached != m_cache.end()) {
        return cached->second;
    }
    std::vector<unsigned char> bytes;
    if (!ResourceFile::read(*m_files, filePath(m_folder, key), bytes)) {
        return nullptr;
    }
    RefPtr<d3d::ID3DXEffect> effect;
    const d3d::HRESULT hr = d3d::D3DXCreateEffect(device, bytes.data(), static_cast<d3d::UINT>(bytes.size()),
                                                  nullptr, nullptr, 0, nullptr, effect.put(), nullptr);
    if (hr != d3d::D3D_OK) {
        return nullptr;
    }
    m_cache.emplace(key, effect);
    return effect;
}

void ShaderManager::clear() {
    for (auto& entry : m_cache) {
        entry.second.reset();
    }
    m_cache.clear();
}
