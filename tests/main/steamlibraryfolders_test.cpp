#include "main/steamlibraryfolders.h"

#include <gtest/gtest.h>

using Folders = std::vector<std::string>;

namespace {

// As Steam writes it, with a few things it could also meet: escapes, a comment, a bare word and a
// "path" that belongs to an app rather than to a library.
const std::string kLibraries = "\"libraryfolders\"\n"
                               "{\n"
                               "\t\"0\"\n"
                               "\t{\n"
                               "\t\t\"path\"\t\t\"/home/player/.local/share/Steam\"\n"
                               "\t\t\"label\"\t\t\"\"\n"
                               "\t\t\"contentid\"\t\t\"4251766014418040829\"\n"
                               "\t\t\"apps\"\n"
                               "\t\t{\n"
                               "\t\t\t\"228980\"\t\t\"493295386\"\n"
                               "\t\t\t\"path\"\t\t\"/not/a/library\"\n"
                               "\t\t}\n"
                               "\t}\n"
                               "\t// the second disk\n"
                               "\t\"1\"\n"
                               "\t{\n"
                               "\t\t\"Path\"\t\t\"/mnt/games/My \\\"Steam\\\" \\\\ Library\"\n"
                               "\t\t\"apps\" { \"32470\" \"8011223344\" }\n"
                               "\t}\n"
                               "\t\"2\" { path /mnt/bare }\n"
                               "}\n";

} // namespace

TEST(SteamLibraryFolders, ListsThePathOfEachLibraryInFileOrder) {
    EXPECT_EQ(steamLibraryFolders(kLibraries), (Folders{"/home/player/.local/share/Steam",
                                                        "/mnt/games/My \"Steam\" \\ Library", "/mnt/bare"}));
    // The older layout numbered the extra libraries' paths directly inside the root block.
    EXPECT_EQ(steamLibraryFolders("\"LibraryFolders\"\n"
                                  "{\n"
                                  "\t\"TimeNextStatsReport\"\t\t\"1700000000\"\n"
                                  "\t\"ContentStatsID\"\t\t\"-4257616185237384063\"\n"
                                  "\t\"1\"\t\t\"/mnt/games/SteamLibrary\"\n"
                                  "\t\"2\"\t\t\"/media/disk\\\\two\"\n"
                                  "}\n"),
              (Folders{"/mnt/games/SteamLibrary", "/media/disk\\two"}));
    EXPECT_EQ(steamLibraryFolders("\"libraryfolders\" { \"0\" { \"path\" \"C:\\\\x\\n\\t\\q\" } }"),
              Folders{"C:\\x\n\t\\q"});
}

TEST(SteamLibraryFolders, UnbalancedBracesEndTheListWithTheWholePathsSoFar) {
    EXPECT_EQ(steamLibraryFolders(""), Folders{});
    EXPECT_EQ(steamLibraryFolders("\"libraryfolders\" { \"0\" { \"path\" \"/cut short"), Folders{});
    EXPECT_EQ(steamLibraryFolders("}}} \"libraryfolders\" { \"0\" { \"path\" \"/a\" } }"), Folders{});
    EXPECT_EQ(steamLibraryFolders("\"libraryfolders\" { \"0\" { \"path\" \"/a\" } } } \"1\" \"/b\""),
              Folders{"/a"});
    EXPECT_EQ(steamLibraryFolders("{ { \"path\" \"/a\" { } \"path\" { \"path\" \"/b\" } } \"path\" \"/c\" }"),
              Folders{"/a"});
}
