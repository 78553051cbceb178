#pragma once

#include <string>
#include <vector>

// The library folders a Steam libraryfolders.vdf text lists, in file order: the "path" of each
// library block, and the numbered values of the older layout that had no blocks. Whatever
// follows a point where the text stops reading is passed over.
std::vector<std::string> steamLibraryFolders(const std::string& vdf);
