#include "main/commandline.h"

#include <gtest/gtest.h>

using Tokens = std::vector<std::string>;

TEST(CommandLine, SplitsOnSpacesOutsideQuotesAndDropsTheQuotes) {
    EXPECT_EQ(splitCommandLine("kestrin.exe"), Tokens{"kestrin.exe"});
    EXPECT_EQ(
        splitCommandLine("\"C:\\Program Files\\Kestrin\\kestrin.exe\"  \"C:\\Games\\EaW\\GameData\" extra"),
        (Tokens{"C:\\Program Files\\Kestrin\\kestrin.exe", "C:\\Games\\EaW\\GameData", "extra"}));
    EXPECT_EQ(splitCommandLine("a\"b c\"d  \"\"  e"), (Tokens{"ab cd", "e"}));
    EXPECT_EQ(splitCommandLine("a\tb \\\"c"), (Tokens{"a\tb", "\\c"}));
    EXPECT_EQ(splitCommandLine("x \"unclosed quote  runs"), (Tokens{"x", "unclosed quote  runs"}));
    EXPECT_EQ(splitCommandLine(""), Tokens{});
}

TEST(CommandLine, DataFolderComesFromTheLineThenTheRegistryThenProgramFiles) {
    int asked = 0;
    auto registry = [&] {
        ++asked;
        return std::string("C:\\Games\\EaW");
    };
    auto none = [&] {
        ++asked;
        return std::string();
    };
    auto programFiles = [&] {
        ++asked;
        return std::string("C:\\Program Files\\LucasArts\\Star Wars Empire at War\\GameData");
    };
    const Tokens withFolder = splitCommandLine("k.exe D:\\Data more");
    const Tokens without = splitCommandLine("k.exe");
    EXPECT_EQ(chooseDataFolder(withFolder, registry, programFiles), "D:\\Data");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(chooseDataFolder(without, registry, programFiles), "C:\\Games\\EaW");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(chooseDataFolder(without, none, programFiles),
              "C:\\Program Files\\LucasArts\\Star Wars Empire at War\\GameData");
    EXPECT_EQ(asked, 3);
}

TEST(CommandLine, FoldersGetOneTrailingBackslashAndTheExecutablesFolderIsItsParent) {
    EXPECT_EQ(withTrailingBackslash("C:\\Games"), "C:\\Games\\");
    EXPECT_EQ(withTrailingBackslash("C:\\Games\\"), "C:\\Games\\");
    EXPECT_EQ(withTrailingBackslash(""), "\\");
    EXPECT_EQ(folderOfExecutable("C:\\Games\\EaW\\GameData\\sweaw.exe"), "C:\\Games\\EaW\\GameData");
    EXPECT_EQ(folderOfExecutable("sweaw.exe"), "sweaw.exe");
    EXPECT_EQ(folderOfExecutable(std::string("C:\\A\\b.exe\0C:\\X\\y", 17)), "C:\\A");
}
