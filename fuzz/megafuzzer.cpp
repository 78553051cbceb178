// Fuzz target: one .MEG archive, opened as the entry picker and the file manager open it.
//
// The input is written to a file and opened as a PhysicalFile; every entry is listed and read
// to its end, and a few names (some stored ones in other letter cases, some fixed ones) are
// looked up. A BadFileException for a broken archive is a normal outcome.

#include "filechecks.h"
#include "scratchfolder.h"

#include "main/exception.h"
#include "main/textcase.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void exercise(const std::string& path) {
    RefPtr<File> file = makeRef<PhysicalFile>(path);
    MegaFile archive(file.get());
    // The archive keeps a reference of its own; its entries must outlive the creator's.
    file.reset();

    std::vector<std::string> names = {"DATA\\ART\\MODELS\\X.ALO", "data/art/models/x.alo", ""};
    for (std::size_t i = 0; i < archive.getFileCount(); ++i) {
        const std::string& name = archive.getFileName(i);
        if (i < 4) {
            names.push_back(name);
            names.push_back(toLowerAscii(name));
        }
        RefPtr<File> entry = archive.openFile(i);
        if (entry->size() != archive.getRecord(i).size) {
            std::abort();
        }
        readToEnd(*entry);
    }
    for (const std::string& name : names) {
        const std::size_t index = archive.findIndex(name);
        RefPtr<File> found = archive.find(name);
        if ((index == MegaFile::kNotFound) != !found) {
            std::abort();
        }
        if (found) {
            if (index >= archive.getFileCount()) {
                std::abort();
            }
            readToEnd(*found);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    const std::string path =
        scratch.write("Archive.meg", std::string(reinterpret_cast<const char*>(data), size));
    try {
        exercise(path);
    } catch (const Exception&) {
        // Refusing a broken archive is the expected answer to most inputs.
    }
    return 0;
}
