#include "main/modelmanager.h"

#include "main/refptr.h"
#include "main/textcase.h"
#include "managers/physicalfile.h"
#include "model/model.h"

ModelManager::ModelManager(std::string folder) : m_folder(std::move(folder)) {}

ModelManager::~ModelManager() {
    // Models go in key order, the order the map keeps.
    for (auto& entry : m_models) {
        entry.second.reset();
    }
    m_models.clear();
}

Model* ModelManager::load(std::string path) {
    path = toUpperAscii(std::move(path));
    const auto cached = m_models.find(path);
    if (cached != m_models.end()) {
        return cached->second.get();
    }
    std::unique_ptr<Model> model = build(path);
    if (!model) {
        model = build(m_folder + path);
        if (!model) {
            return nullptr;
        }
    }
    Model* result = model.get();
    m_models.emplace(path, std::move(model));
    return result;
}

std::unique_ptr<Model> ModelManager::build(const std::string& path) {
    // Opening errors leave load unchanged; anything that goes wrong while reading does not.
    RefPtr<File> file = makeRef<PhysicalFile>(path);
    try {
        return std::make_unique<Model>(*file);
    } catch (...) {
        return nullptr;
    }
}
