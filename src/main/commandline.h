#pragma once

#include <string>
#include <vector>

// The tokens of a command line (program path first): spaces separate outside double quotes,
// quotes group and vanish, runs of spaces and empty quotes make no tokens, an unclosed quote runs
// to the end; tabs and backslashes are ordinary characters.
std::vector<std::string> splitCommandLine(const std::string& line);

// The data folder the program starts with: the second token of the command line when there is
// one; otherwise the registry's folder, and when that is empty the default under Program Files.
// The two lookups are made only when needed, in that order.
template <class Registry, class Default>
std::string chooseDataFolder(const std::vector<std::string>& args, Registry registry, Default programFiles) {
    if (args.size() > 1) {
        return args[1];
    }
    std::string folder = registry();
    return folder.empty() ? programFiles() : folder;
}

// folder with a backslash appended unless it ends with one (an empty folder becomes "\").
std::string withTrailingBackslash(std::string folder);

// The folder of the game's executable path: the part before its last backslash, or the whole
// path when there is none. The text ends at its first zero byte.
std::string folderOfExecutable(const std::string& exePath);
