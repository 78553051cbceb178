#include "managers/filemanager.h"

#include "main/badfileexception.h"
#include "main/ioexception.h"
#include "main/textcase.h"
#include "managers/crc32.h"
#include "managers/physicalfile.h"
#include "xml/xmlnode.h"
#include "xml/xmltree.h"

FileManager::FileManager(const std::string& dataFolder) : m_dataFolder(dataFolder) {
    mountArchives(m_dataFolder + "Data\\MegaFiles.xml");
}

FileManager::~FileManager() = default;

void FileManager::mountArchives(const std::string& listPath) {
    XMLTree list;
    {
        RefPtr<File> file = makeRef<PhysicalFile>(listPath);
        list.parse(*file);
    }
    // An empty document has no root at all; it is refused like a wrong one.
    const XMLNode* root = list.getRoot();
    if (root == nullptr || root->getName() != "Mega_Files") {
        throw BadFileException(__FILE__, __LINE__, listPath);
    }
    for (std::size_t i = 0; i < root->getChildCount(); ++i) {
        const XMLNode& child = root->getChild(i);
        if (child.getName() != "File") {
            throw BadFileException(__FILE__, __LINE__, listPath);
        }
        const std::string path = m_dataFolder + child.getText();
        std::unique_ptr<MegaFile> archive;
        try {
            RefPtr<File> file = makeRef<PhysicalFile>(path);
            archive = std::make_unique<MegaFile>(file.get());
        } catch (const IOException&) {
            continue;
        }
        // A second listing of the same archive leaves the first one mounted.
        m_archives.emplace(toUpperAscii(path), std::move(archive));
    }
}

RefPtr<File> FileManager::open(const std::string& path) {
    std::string source;
    return locate(path, source);
}

RefPtr<File> FileManager::locate(const std::string& path, std::string& source) const {
    source.clear();
    const bool absolute = (path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '\\');
    const std::string full = absolute ? path : m_dataFolder + path;
    if (RefPtr<File> loose = PhysicalFile::tryOpen(full)) {
        return loose;
    }
    // The archives are asked with the path as given, not the one prefixed with the data folder.
    const std::string key = toUpperAscii(path);
    const std::uint32_t crc = crc32(key.data(), key.size());
    for (const auto& [archiveKey, archive] : m_archives) {
        const std::size_t index = archive->findKey(key, crc);
        if (index != MegaFile::kNotFound) {
            source = archiveKey;
            return archive->openFile(index);
        }
    }
    return nullptr;
}

std::vector<std::string> FileManager::getArchiveKeys() const {
    std::vector<std::string> keys;
    keys.reserve(m_archives.size());
    for (const auto& entry : m_archives) {
        keys.push_back(entry.first);
    }
    return keys;
}

const MegaFile* FileManager::getArchive(const std::string& key) const {
    const auto it = m_archives.find(key);
    return it == m_archives.end() ? nullptr : it->second.get();
}
