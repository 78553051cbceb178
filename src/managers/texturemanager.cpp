#include "managers/texturemanager.h"

#include "engine/d3d/d3dx9effect.h"

TextureManager::TextureManager(FileManager* files, std::string folder)
    : m_folder(std::move(folder)), m_files(files) {}

TextureManager::~TextureManager() {
    clear();
}

RefPtr<d3d::IDirect3DTexture9> TextureManager::getTexture(d3d::IDirect3DDevice9* device,
                                                          const std::string& name) {
    const std::string key = toUpperAscii(name);
    const auto cached = m_cache.find(key);
    if (cached != m_cache.end()) {
        return cached->second;
    }
    std::vector<unsigned char> bytes;
    if (!ResourceFile::read(*m_files, filePath(m_folder, key), bytes)) {
        return nullptr;
    }
    RefPtr<d3d::IDirect3DTexture9> texture;
    const d3d::HRESULT hr = d3d::D3DXCreateTextureFromFileInMemory(
        device, bytes.data(), static_cast<d3d::UINT>(bytes.size()), texture.put());
    // A failed creation that still handed something back has it released here, not leaked.
    if (hr != d3d::D3D_OK) {
        return nullptr;
    }
    m_cache.emplace(key, texture);
    return texture;
}

void TextureManager::clear() {
    for (auto& entry : m_cache) {
        entry.second.reset();
    }
    m_cache.clear();
}
