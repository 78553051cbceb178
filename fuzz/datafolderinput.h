#pragma once

#include <string>

// How the data folder fuzz target reads one input: the archive list and up to two archives,
// back to back, each part ending at the separator line that introduces the next:
//
//   <Data\MegaFiles.xml> "\n--KESTRIN-MEG--\n" <Data\A.meg> "\n--KESTRIN-MEG--\n" <Data\Sub\B.meg>
//
// A part that is missing leaves its file out of the folder; bytes after a third separator belong
// to B.meg. The seed writer joins parts the same way.
class DataFolderInput {
public:
    static constexpr const char* kSeparator = "\n--KESTRIN-MEG--\n";

    // Splits bytes into the three parts.
    static DataFolderInput split(const std::string& bytes);
    // The bytes of an input with these parts; empty archive parts are left out at the end.
    std::string join() const;

    std::string list;
    bool hasArchiveA = false;
    std::string archiveA;
    bool hasArchiveB = false;
    std::string archiveB;
};
