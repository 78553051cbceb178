#include "main/badfileexception.h"
#include "main/filenotfoundexception.h"
#include "main/parseexception.h"
#include "main/textcase.h"
#include "managers/filemanager.h"
#include "support/memoryfile.h"
#include "support/tempdir.h"
#include "writers/megwriter.h"

#include <gtest/gtest.h>

namespace {

std::string megaFiles(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<Mega_Files>\n" + body + "</Mega_Files>\n";
}

std::string archiveWith(const std::string& name, const std::string& data) {
    MegWriter w;
    w.add(name, data);
    return w.build();
}

// The message of the exception E that mounting the folder's archive list raises.
template <class E>
std::string constructionError(const std::string& folder) {
    try {
        FileManager files(folder);
    } catch (const E& e) {
        return e.getMessage();
    }
    return "no error";
}

} // namespace

TEST(FileManager, RefusesAMissingListOrOneThatIsNoMegaFilesListOfFiles) {
    TempDir dir;
    const std::string list = dir.folder() + "Data\\MegaFiles.xml";
    EXPECT_EQ(constructionError<FileNotFoundException>(dir.folder()), "Unable to find file:\n" + list);
    EXPECT_NE(constructionError<FileNotFoundException>(dir.folder() + "missing\\"), "no error");
    dir.write("Data/A.meg", archiveWith("DATA\\X.TXT", "x"));
    for (const std::string& text : {
             std::string(),
             std::string("<mega_files><File>Data\\A.meg</File></mega_files>"),
             megaFiles("<File>Data\\A.meg</File><Files>Data\\B.meg</Files>"),
             megaFiles("<File>Data\\A.meg</File>stray text"),
         }) {
        dir.write("Data/MegaFiles.xml", text);
        EXPECT_EQ(constructionError<BadFileException>(dir.folder()), "Bad or corrupted file:\n" + list)
            << text;
    }
    dir.write("Data/MegaFiles.xml", "<Mega_Files><File>Data\\A.meg</Mega_Files>");
    EXPECT_EQ(constructionError<ParseException>(dir.folder()), "mismatched tag at line 1");
}

TEST(FileManager, MountsEachReadableArchiveOnceAndSkipsTheOthers) {
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
    EXPECT_EQ(readAll(*files.open("Data\\X.txt")), "x");
    EXPECT_FALSE(files.open("Data\\Y.txt"));

    dir.write("Data/MegaFiles.xml", "<Mega_Files>\n</Mega_Files>");
    EXPECT_TRUE(FileManager(dir.folder()).getArchiveKeys().empty());
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
    EXPECT_EQ(source, toUpperAscii(dir.folder() + "Data\\A.meg"));
    EXPECT_EQ(readAll(*files.locate("data\\art\\only_b.txt", source)), "only b");
    EXPECT_EQ(source, toUpperAscii(dir.folder() + "Data\\B.meg"));
    EXPECT_EQ(readAll(*files.locate("DATA\\ART\\LOOSE.TXT", source)), "loose");
    EXPECT_EQ(source, "");
    EXPECT_FALSE(files.open("Data\\Art\\None.txt"));
    // Absolute paths are opened as they are and asked of the archives unchanged.
    EXPECT_FALSE(files.open("\\Data\\Art\\Loose.txt"));
    EXPECT_FALSE(files.open("C:Data\\Art\\Loose.txt"));
}
