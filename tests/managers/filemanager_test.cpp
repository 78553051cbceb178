#include "main/badfileexception.h"
#include "main/filenotfoundexception.h"
#include "main/parseexception.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "support/tempdir.h"
#include "writers/megwriter.h"

#include <gtest/gtest.h>

namespace {

std::string readAll(File& file) {
    std::string out(file.size(), '\0');
    out.resize(file.read(out.data(), file.size()));
    return out;
}

std::string megaFiles(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<Mega_Files>\n" + body + "</Mega_Files>\n";
}

std::string archiveWith(const std::string& name, const std::string& data) {
    MegWriter w;
    w.add(name, data);
    return w.build();
}

std::string listPath(const TempDir& dir) {
    return dir.folder() + "Data\\MegaFiles.xml";
}

template <class E>
void expectConstructionError(const TempDir& dir, const std::string& message) {
    try {
        FileManager files(dir.folder());
        ADD_FAILURE() << "constructed";
    } catch (const E& e) {
        EXPECT_EQ(e.getMessage(), message);
    }
}

} // namespace

TEST(FileManager, MissingListOrFolderIsNotFound) {
    TempDir dir;
    expectConstructionError<FileNotFoundException>(dir, "Unable to find file:\n" + listPath(dir));
    try {
        FileManager files(dir.folder() + "missing\\");
        ADD_FAILURE();
    } catch (const FileNotFoundException&) {
    }
}

TEST(FileManager, RefusesListsThatAreEmptyOrNotAMegaFilesListOfFiles) {
    const std::string bad = "Bad or corrupted file:\n";
    const std::vector<std::string> refused = {
        "",
        "<mega_files><File>Data\\A.meg</File></mega_files>",
        megaFiles("<File>Data\\A.meg</File><Files>Data\\B.meg</Files>"),
        megaFiles("<File>Data\\A.meg</File>stray text"),
    };
    for (const std::string& list : refused) {
        TempDir dir;
        dir.write("Data/A.meg", archiveWith("DATA\\X.TXT", "x"));
        dir.write("Data/MegaFiles.xml", list);
        expectConstructionError<BadFileException>(dir, bad + listPath(dir));
    }
    TempDir dir;
    dir.write("Data/MegaFiles.xml", "<Mega_Files><File>Data\\A.meg</Mega_Files>");
    expectConstructionError<ParseException>(dir, "mismatched tag at line 1");
    dir.write("Data/MegaFiles.xml", "<?xml version=\"1.0\"?>\n");
    expectConstructionError<ParseException>(dir, "no element found at line 2");
}

TEST(FileManager, SkipsArchivesThatAreMissingBrokenOrListedTwice) {
    TempDir dir;
    dir.write("Data/MegaFiles.xml", megaFiles("<File>Data\\Missing.meg</File>\n"
                                              "<File>\n\t\tData\\Good.meg  \n</File>\n"
                                              "<File>Data\\Cut.meg</File>\n"
                                              "<File>DATA\\GOOD.MEG</File>\n"
                                              "<File><Nested/></File>\n"
                                              "<File>Data</File>\n"));
    dir.write("Data/Good.meg", archiveWith("DATA\\X.TXT", "x"));
    dir.write("Data/Cut.meg", archiveWith("DATA\\Y.TXT", "y").substr(0, 12));
    FileManager files(dir.folder());
    EXPECT_EQ(files.getArchiveKeys(),
              std::vector<std::string>{toUpperAscii(dir.folder() + "Data\\Good.meg")});
    RefPtr<File> x = files.open("Data\\X.txt");
    ASSERT_TRUE(x);
    EXPECT_EQ(readAll(*x), "x");
    EXPECT_FALSE(files.open("Data\\Y.txt"));
}

TEST(FileManager, LooseFilesWinAndArchivesAreSearchedInKeyOrder) {
    TempDir dir;
    // Listed first, but "DATA\\B.MEG" sorts after "DATA\\A.MEG".
    dir.write("Data/MegaFiles.xml", megaFiles("<File>Data\\B.meg</File><File>Data\\A.meg</File>"));
    MegWriter a;
    a.add("DATA\\ART\\SHARED.TXT", "from a");
    a.add("DATA\\ART\\LOOSE.TXT", "archived");
    dir.write("Data/A.meg", a.build());
    MegWriter b;
    b.add("DATA\\ART\\SHARED.TXT", "from b");
    b.add("DATA\\ART\\ONLY_B.TXT", "only b");
    dir.write("Data/B.meg", b.build());
    dir.write("Data/Art/Loose.txt", "loose");

    FileManager files(dir.folder());
    std::string source;
    EXPECT_EQ(readAll(*files.locate("Data\\Art\\Shared.txt", source)), "from a");
    EXPECT_EQ(source.substr(source.size() - 10), "DATA\\A.MEG");
    EXPECT_EQ(readAll(*files.locate("data\\art\\only_b.txt", source)), "only b");
    EXPECT_EQ(source.substr(source.size() - 10), "DATA\\B.MEG");
    EXPECT_EQ(readAll(*files.locate("DATA\\ART\\LOOSE.TXT", source)), "loose");
    EXPECT_EQ(source, "");
    EXPECT_FALSE(files.open("Data\\Art\\None.txt"));
    // Absolute paths are opened as they are and asked of the archives unchanged.
    EXPECT_FALSE(files.open("\\Data\\Art\\Shared.txt"));
    EXPECT_FALSE(files.open("C:Data\\Art\\Shared.txt"));
}

TEST(FileManager, ListWithoutChildrenFindsLooseFilesOnly) {
    TempDir dir;
    dir.write("Data/MegaFiles.xml", "<Mega_Files>\n</Mega_Files>");
    dir.write("Data/Art/Textures/W.dds", "w");
    FileManager files(dir.folder());
    EXPECT_TRUE(files.getArchiveKeys().empty());
    EXPECT_TRUE(files.open("Data\\Art\\Textures\\W.DDS"));
    EXPECT_FALSE(files.open("Data\\Art\\Textures\\V.DDS"));
}
