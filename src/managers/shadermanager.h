#pragma once

#include "engine/d3d/d3dx9effect.h"
#include "main/refptr.h"
#include "main/textcase.h"
#include "managers/resourcefile.h"

#include <map>
#include <string>

class FileManager;

// The compiled effects that materials name, each read through the FileManager and created by
// D3DX once per device, kept by upper-cased name. A ".FX" name is read from the ".FXO" file.
class ShaderManager {
public:
    // folder: prefix of every path looked up ("Data\Art\Shaders\").
    ShaderManager(FileManager* files, std::string folder);
    virtual ~ShaderManager();
    ShaderManager(const ShaderManager&) = delete;
    ShaderManager& operator=(const ShaderManager&) = delete;

    // The effect named name on device, or none when its file is missing or D3DX refuses it.
    // Failures are not remembered: the next request looks again.
    virtual RefPtr<d3d::ID3DXEffect> getEffect(d3d::IDirect3DDevice9* device, const std::string& name);
    // Releases every cached effect; called before every device reset.
    void clear();
    // The game path a request for name reads under folder: the name upper-cased, ".FX" read as
    // ".FXO" ("X.FXO" contains ".FX" too, so a compiled name stays as it is).
    static std::string filePath(const std::string& folder, const std::string& name) {
        return folder + ResourceFile::replaceLastExtension(toUpperAscii(name), ".FX", ".FXO");
    }

private:
    std::map<std::string, RefPtr<d3d::ID3DXEffect>> m_cache;
    std::string m_folder;
    FileManager* m_files;
};
