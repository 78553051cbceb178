#pragma once

#include <ostream>
#include <string>
#include <vector>

class FileManager;

// kestrin-info check: what the models of a data folder need that the folder does not give them.
// Without models named, every .ALO loose under "Data\Art\Models\" and in the archives the folder
// mounts is checked, once per game path, from where the FileManager finds it.
class CheckCommand {
public:
    // Runs "check [--text] DATAFOLDER [MODEL ...]" given the words after "check"; a MODEL is a file,
    // a game path or ARCHIVE.MEG:ENTRY. 0 when everything resolves, 1 when something is missing or
    // broken, 2 for a wrong command line (the caller shows the usage). A data folder that cannot be read
    // raises as the FileManager does. progress, when set, gets a line that follows the run.
    static int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   std::ostream* progress);
    // folder with a trailing separator, as the FileManager takes a data folder.
    static std::string dataFolder(std::string folder);
    // The game path of every model of the data folder that files mounts, in the order of the
    // upper-cased paths: the loose ones under "Data\Art\Models\" and every .ALO entry of the
    // archives, each path once.
    static std::vector<std::string> modelPaths(const std::string& dataFolder, const FileManager& files);
};
