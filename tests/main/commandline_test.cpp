#include "main/commandline.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <tuple>

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

TEST(CommandLine, AModelAloneOpensAtStartOverTheDataFolderItLiesIn) {
    TempDir dir;
    dir.write("Game.alo/readme.txt", "a folder named like a model\n");
    const std::string folderNamedLikeAModel = dir.path() + "/Game.alo";
    // token, whether it names a model, the data folder it starts on (or the registry's "R").
    const std::vector<std::tuple<std::string, bool, std::string>> cases = {
        {"C:\\EaW\\GameData\\Data\\Art\\Models\\Ships\\Star_Base.ALO", true, "C:\\EaW\\GameData"},
        {"/home/u/GameData/data/art/models/x.alo", true, "/home/u/GameData"},
        {"/Data/Art/Models/x.alo", true, "/"},
        {"Data/Art/Models/x.Alo", true, "."},
        {"C:\\Data\\Art\\x.alo", true, "R"},
        {"/mods/Data/Art/Models.alo", true, "R"},
        {"D:\\Mod\\Data\\Models.MEG", true, "D:\\Mod"},
        {"D:\\Mod\\Data\\Sub\\A.meg:DATA\\ART\\MODELS\\X.ALO", true, "D:\\Mod"},
        {"/mod/Art.meg:Data/Art/Models/X.alo", true, "R"},
        {"D:\\Games.alo\\GameData", false, "D:\\Games.alo\\GameData"},
        {folderNamedLikeAModel, false, folderNamedLikeAModel},
    };
    for (const auto& [token, model, folder] : cases) {
        EXPECT_EQ(namesModel(token), model) << token;
        EXPECT_EQ(chooseDataFolder(
                      {"k.exe", token}, [] { return std::string("R"); }, [] { return std::string("P"); }),
                  folder)
            << token;
        EXPECT_EQ(startModel({"k.exe", token}), model ? token : "") << token;
    }
    // After a folder, the third token is the model, whatever its name.
    EXPECT_EQ(startModel({"k.exe", "D:\\Data", "D:\\models\\odd.bin"}), "D:\\models\\odd.bin");
    EXPECT_EQ(startModel({"k.exe"}), "");
    EXPECT_EQ(extensionOf("C:\\dir.x\\file"), "");
    EXPECT_EQ(extensionOf("/a/b.tar.MEG"), "MEG");
}
