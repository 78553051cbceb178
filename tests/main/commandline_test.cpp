#include "main/commandline.h"

#include <gtest/gtest.h>

using Tokens = std::vector<std::string>;

TEST(CommandLine, SplitsOnSpacesOutsideQuotesAndTakesTheDataFolderFromItThenTheRegistryThenProgramFiles) {
    EXPECT_EQ(splitCommandLine("\"C:\\Program Files\\k.exe\"  \"C:\\E a W\" x"),
              (Tokens{"C:\\Program Files\\k.exe", "C:\\E a W", "x"}));
    EXPECT_EQ(splitCommandLine("a\"b c\"d  \"\"  e\tf \\\"g\" \"open quote  runs"),
              (Tokens{"ab cd", "e\tf", "\\g", "open quote  runs"}));
    EXPECT_EQ(splitCommandLine(std::string("a b\0c", 5)), (Tokens{"a", "b"}));
    EXPECT_EQ(splitCommandLine(""), Tokens{});
    std::string asked;
    auto answer = [&](const char* folder) {
        return [&asked, folder] { return asked += folder, std::string(folder); };
    };
    EXPECT_EQ(chooseDataFolder({"k.exe", "D:\\Data", "more"}, answer("R"), answer("P")), "D:\\Data");
    EXPECT_EQ(chooseDataFolder({"k.exe"}, answer("R"), answer("P")), "R");
    EXPECT_EQ(chooseDataFolder({"k.exe"}, answer(""), answer("P")), "P");
    EXPECT_EQ(asked, "RP");
}

TEST(CommandLine, FoldersGetOneTrailingBackslashAndTheExecutablesFolderIsItsParent) {
    EXPECT_EQ(withTrailingBackslash("C:\\Games"), "C:\\Games\\");
    EXPECT_EQ(withTrailingBackslash("C:\\Games\\"), "C:\\Games\\");
    EXPECT_EQ(withTrailingBackslash(""), "\\");
    EXPECT_EQ(folderOfExecutable("C:\\Games\\EaW\\GameData\\sweaw.exe"), "C:\\Games\\EaW\\GameData");
    EXPECT_EQ(folderOfExecutable("sweaw.exe"), "sweaw.exe");
    EXPECT_EQ(folderOfExecutable(std::string("C:\\A\\b.exe\0C:\\X\\y", 17)), "C:\\A");
}
