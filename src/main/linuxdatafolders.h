#pragma once

#include <string>
#include <vector>

// Where the game's data folder is on Linux, where the game runs under Wine or Proton: the folder
// the registry of a Wine prefix names, else a default folder inside a prefix or a Steam library.
// The prefixes are $WINEPREFIX, ~/.wine and Proton's prefix of the game in each Steam library.
// Files and folders that are missing or cannot be read are passed over.
class LinuxDataFolders {
public:
    // home and winePrefix: the values of HOME and WINEPREFIX, empty when unset.
    LinuxDataFolders(std::string home, std::string winePrefix);

    // The Steam library folders that exist, each once: for each Steam root under home, those its
    // steamapps/libraryfolders.vdf lists, then the root itself.
    std::vector<std::string> steamLibraries() const;
    // The Wine prefixes that exist, each once: $WINEPREFIX, ~/.wine, then Proton's prefix of the
    // game (steamapps/compatdata/32470/pfx) in each Steam library.
    std::vector<std::string> prefixes() const;

    // The folder of the game's ExePath in the first prefix whose registry gives one that maps to
    // an existing folder (the 32-bit view of a 64-bit prefix first), or an empty string: the
    // registry lookup that Application::run takes.
    std::string readRegistryDataFolder() const;
    // The first existing one of the game's default folders: under Program Files, then Program
    // Files (x86), of each prefix, then steamapps/common of each Steam library; or an empty
    // string. The Program Files lookup that Application::run takes.
    std::string defaultDataFolder() const;

    // The existing folder that windowsPath (a drive letter, a colon and backslash-separated
    // components) names inside prefix: the drive through the prefix's dosdevices link, then each
    // component as spelled or else the folder entry that matches it ignoring case. An empty
    // string when it names no folder there.
    static std::string mapWindowsFolder(const std::string& prefix, const std::string& windowsPath);

private:
    std::string m_home;
    std::string m_winePrefix;
};
