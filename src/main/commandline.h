#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The tokens of a command line (program path first): spaces separate outside double quotes,
// quotes group and vanish, runs of spaces and empty quotes make no tokens, an unclosed quote runs
// to the end; tabs and backslashes are ordinary characters.
std::vector<std::string> splitCommandLine(const std::string& line);

// Whether a token names a model to open rather than a data folder: a .ALO or .MEG file, or an
// archive's entry as ARCHIVE.MEG:ENTRY (extensions in any case), unless it is an existing folder.
bool namesModel(const std::string& token);

// Whether path is an existing folder.
bool isFolder(const std::string& path);

// The data folder of a model given without one: the folder that holds the Data folder the model
// lies under (Data\Art\Models for a model, Data for an archive and its entries; "." when that is
// the current folder), or empty when there is none on its path. '/' and '\' both separate.
std::string dataFolderOfModel(const std::string& model);

// The model the command line opens at start, or empty: "kestrin MODEL" and "kestrin FOLDER MODEL".
std::string startModel(const std::vector<std::string>& args);

// Where "ARCHIVE.MEG:ENTRY" splits (the colon's position), or npos for a plain path.
std::size_t archiveSeparator(const std::string& location);

// The extension of the file a path names, as the open dialog reports it: the text after the last
// dot of its last component, empty when there is none.
std::string extensionOf(const std::string& path);

// The data folder the program starts with: the second token of the command line when there is
// one and it names no model; for a model alone, the folder of its path; otherwise the registry's
// folder, and when that is empty the default under Program Files. The two lookups are made only
// when needed, in that order.
template <class Registry, class Default>
std::string chooseDataFolder(const std::vector<std::string>& args, Registry registry, Default programFiles) {
    if (args.size() > 1) {
        if (!namesModel(args[1])) {
            return args[1];
        }
        const std::string folder = dataFolderOfModel(args[1]);
        if (!folder.empty()) {
            return folder;
        }
    }
    std::string folder = registry();
    return folder.empty() ? programFiles() : folder;
}

// folder with a backslash appended unless it ends with one (an empty folder becomes "\").
std::string withTrailingBackslash(std::string folder);

// The folder of the game's executable path: the part before its last backslash, or the whole
// path when there is none. The text ends at its first zero byte.
std::string folderOfExecutable(const std::string& exePath);
