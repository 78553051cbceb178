// Fuzz target: a data folder with Data\MegaFiles.xml and up to two archives, read by FileManager.
//
// The input is split as DataFolderInput describes into Data\MegaFiles.xml, Data\A.meg and
// Data\Sub\B.meg; the folder also always holds the loose file Data\Art\Loose.txt. A FileManager is
// built over the folder, then a few game paths are opened (the loose file, fixed names, and the
// names stored in the two archives in another letter case) and what answers is read to its end.
// The errors of a refused list are normal outcomes; an archive the list names that cannot be read
// is skipped by the file manager itself.
//
// Lists that could name a path with ".." (written out, or through a character reference or an
// entity) are passed over: they would reach outside the scratch folder into the files of the
// machine running the fuzzer.

#include "datafolderinput.h"
#include "filechecks.h"
#include "scratchfolder.h"

#include "main/exception.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "managers/megafile.h"
#include "managers/physicalfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The first few names an archive stores, or none when it cannot be read.
void addStoredNames(const std::string& path, std::vector<std::string>& names) {
    try {
        RefPtr<File> file = makeRef<PhysicalFile>(path);
        const MegaFile archive(file.get());
        for (std::size_t i = 0; i < archive.getFileCount() && i < 4; ++i) {
            names.push_back(toLowerAscii(archive.getFileName(i)));
        }
    } catch (const Exception&) {
    }
}

void exercise(const ScratchFolder& scratch, const DataFolderInput& input) {
    scratch.write("Data/MegaFiles.xml", input.list);
    std::vector<std::string> names = {"Data\\Art\\Loose.txt", "DATA\\ART\\LOOSE.TXT",
                                      "Data\\Art\\Missing.txt", "Data\\Art\\Models\\X.alo"};
    if (input.hasArchiveA) {
        addStoredNames(scratch.write("Data/A.meg", input.archiveA), names);
    } else {
        scratch.remove("Data/A.meg");
    }
    if (input.hasArchiveB) {
        addStoredNames(scratch.write("Data/Sub/B.meg", input.archiveB), names);
    } else {
        scratch.remove("Data/Sub/B.meg");
    }

    FileManager files(scratch.folder());
    for (const std::string& name : names) {
        std::string source;
        if (RefPtr<File> found = files.locate(name, source)) {
            readToEnd(*found);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    static const bool prepared = (scratch.write("Data/Art/Loose.txt", "loose"), true);
    (void)prepared;
    const DataFolderInput input =
        DataFolderInput::split(std::string(reinterpret_cast<const char*>(data), size));
    for (const char* escape : {"..", "&#", "<!ENTITY"}) {
        if (input.list.find(escape) != std::string::npos) {
            return -1;
        }
    }
    try {
        exercise(scratch, input);
    } catch (const Exception&) {
        // Refusing a broken list is the expected answer to many inputs.
    }
    return 0;
}
