#pragma once

#include "engine/d3d/d3d9.h"
#include "main/refptr.h"
#include "main/textcase.h"
#include "managers/resourcefile.h"

#include <map>
#include <string>

class FileManager;

// The textures that materials name, each read through the FileManager and decoded by D3DX once
// per device, kept by upper-cased name. A ".TGA" name is read from the ".DDS" file of the same name.
class TextureManager {
public:
    // folder: prefix of every path looked up ("Data\Art\Textures\").
    TextureManager(FileManager* files, std::string folder);
    virtual ~TextureManager();
    TextureManager(const TextureManager&) = delete;
    TextureManager& operator=(const TextureManager&) = delete;

    // The texture named name on device, or none when its file is missing or does not decode.
    // Failures are not remembered: the next request looks again.
    virtual RefPtr<d3d::IDirect3DTexture9> getTexture(d3d::IDirect3DDevice9* device, const std::string& name);
    // Releases every cached texture; called before every device reset.
    void clear();
    // The game path a request for name reads under folder: the name upper-cased, ".TGA" read as ".DDS".
    static std::string filePath(const std::string& folder, const std::string& name) {
        return folder + ResourceFile::replaceLastExtension(toUpperAscii(name), ".TGA", ".DDS");
    }

private:
    std::map<std::string, RefPtr<d3d::IDirect3DTexture9>> m_cache;
    std::string m_folder;
    FileManager* m_files;
};
