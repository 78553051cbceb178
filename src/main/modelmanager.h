#pragma once

#include <map>
#include <memory>
#include <string>

class Model;

// The models read from loose files, each read once and kept for the whole run under its
// upper-cased path.
class ModelManager {
public:
    // folder: the prefix of the second attempt, relative to the current directory.
    explicit ModelManager(std::string folder);
    ~ModelManager();
    ModelManager(const ModelManager&) = delete;
    ModelManager& operator=(const ModelManager&) = delete;

    // The model at path, read on first request. A file that opens but does not read as a model
    // is tried again under the folder; none when that fails too. Raises the file errors of
    // opening either path (a missing file, for one), which then reach the caller unchanged.
    Model* load(std::string path);

private:
    // A model from the file at path, or none when it opens but does not read as one.
    static std::unique_ptr<Model> build(const std::string& path);

    std::map<std::string, std::unique_ptr<Model>> m_models;
    std::string m_folder;
};
