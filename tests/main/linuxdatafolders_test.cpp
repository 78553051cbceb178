#include "main/linuxdatafolders.h"
#include "support/tempdir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string kGame = "LucasArts/Star Wars Empire at War/GameData";

// A system.reg as Wine writes it, whose ExePath is the game's under the folder programFiles of C:,
// kept under the 32-bit view of a 64-bit prefix or under the key itself.
std::string systemReg(const std::string& programFiles, bool wow64 = true) {
    return "WINE REGISTRY Version 2\n#arch=win64\n\n[Software\\\\" +
           std::string(wow64 ? "Wow6432Node\\\\" : "") +
           "LucasArts\\\\Star Wars Empire at War\\\\1.0] "
           "1796601084\n#time=1dd85dcb37ee93e\n\"ExePath\"=\"C:\\\\" +
           programFiles + "\\\\LucasArts\\\\Star Wars Empire at War\\\\GameData\\\\sweaw.exe\"\n";
}

testing::AssertionResult sameFolder(const std::string& found, const std::string& expected) {
    std::error_code error;
    if (!found.empty() && fs::equivalent(found, expected, error)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "found \"" << found << "\", expected \"" << expected << "\"";
}

// A home folder in a temporary folder, where the tests lay out Wine prefixes and Steam libraries.
class LinuxDataFoldersTest : public ::testing::Test {
protected:
    std::string home() const { return m_dir.path() + "/home"; }

    // Makes the folder at the relative path and returns its full path.
    std::string folder(const std::string& relative) const {
        fs::create_directories(m_dir.path() + "/" + relative);
        return m_dir.path() + "/" + relative;
    }

    // A prefix as Wine makes it: c: leading to drive_c, z: to the root; registry is its system.reg.
    std::string prefix(const std::string& relative, const std::string& registry) const {
        const std::string path = folder(relative + "/dosdevices");
        folder(relative + "/drive_c");
        fs::create_directory_symlink("../drive_c", path + "/c:");
        fs::create_directory_symlink("/", path + "/z:");
        if (!registry.empty()) {
            m_dir.write(relative + "/system.reg", registry);
        }
        return fs::path(path).parent_path().string();
    }

    TempDir m_dir;
};

} // namespace

TEST_F(LinuxDataFoldersTest, WindowsPathsMapThroughTheDriveLinksIgnoringCase) {
    const std::string wine = prefix("home/.wine", "");
    const std::string game = folder("home/.wine/drive_c/Program Files/" + kGame);
    const std::string other = folder("elsewhere/Games/EaW");
    fs::create_directory_symlink(m_dir.path() + "/elsewhere", wine + "/dosdevices/d:");
    m_dir.write("home/.wine/drive_c/Program Files/LucasArts/readme.txt", "");
    std::string unixPath = other;
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');

    const std::pair<std::string, std::string> found[] = {
        {"C:\\Program Files\\LucasArts\\Star Wars Empire at War\\GameData", game},
        {"c:\\PROGRAM FILES\\lucasarts\\STAR WARS EMPIRE AT WAR\\gamedata\\", game},
        {"C:/Program Files\\.\\LucasArts\\..\\LucasArts//Star Wars Empire at War/GameData", game},
        // "." and empty parts are no folders that ".." could take away.
        {"C:\\Program Files\\LucasArts\\.\\..\\..", wine + "/drive_c"},
        {"C:\\Program Files\\LucasArts\\\\..\\..", wine + "/drive_c"},
        {"C:\\..\\Program Files", wine + "/drive_c/Program Files"},
        {"D:\\games\\eaw", other},
        {"C:", wine + "/drive_c"},
        {"Z:" + unixPath, other},
    };
    for (const auto& [windows, linux] : found) {
        EXPECT_TRUE(sameFolder(LinuxDataFolders::mapWindowsFolder(wine, windows), linux)) << windows;
    }
    // The exact spelling wins over another case of it; only c: falls back to drive_c.
    const std::string upper = folder("home/.wine/drive_c/GAMES");
    folder("home/.wine/drive_c/Games");
    EXPECT_TRUE(sameFolder(LinuxDataFolders::mapWindowsFolder(wine, "C:\\GAMES"), upper));
    for (const char* missing :
         {"E:\\Games", "C:\\Program Files\\LucasArts\\readme.txt", "C:\\Program Files\\LucasArts\\Missing",
          "\\\\server\\share\\Games", "Program Files", "C:Program Files", "1:\\Games", ""}) {
        EXPECT_EQ(LinuxDataFolders::mapWindowsFolder(wine, missing), "") << missing;
    }
    // A prefix without its drive links still has its drive_c.
    fs::remove(wine + "/dosdevices/c:");
    EXPECT_TRUE(sameFolder(LinuxDataFolders::mapWindowsFolder(wine, "C:\\program files"),
                           wine + "/drive_c/Program Files"));
    EXPECT_EQ(LinuxDataFolders::mapWindowsFolder(m_dir.path() + "/nowhere", "C:\\"), "");
}

TEST_F(LinuxDataFoldersTest, RegistryOfWinePrefixThenHomeWineThenProtonAndFirstExistingFolderWins) {
    const std::string proton = "library/steamapps/compatdata/32470/pfx";
    const std::string custom = prefix("custom", systemReg("Games"));
    const std::string customGame = folder("custom/drive_c/games/" + kGame);
    prefix("home/.wine", systemReg("Program Files", false));
    const std::string wineGame = folder("home/.wine/drive_c/Program Files/" + kGame);
    prefix(proton, systemReg("Program Files (x86)"));
    const std::string protonGame = folder(proton + "/drive_c/Program Files (x86)/" + kGame);
    m_dir.write("home/.local/share/Steam/steamapps/libraryfolders.vdf",
                "\"libraryfolders\" { \"0\" { \"path\" \"" + m_dir.path() + "/library\" } }");

    const LinuxDataFolders folders(home(), custom);
    EXPECT_EQ(folders.prefixes(),
              (std::vector<std::string>{custom, home() + "/.wine", m_dir.path() + "/" + proton}));
    EXPECT_TRUE(sameFolder(folders.readRegistryDataFolder(), customGame));
    EXPECT_TRUE(sameFolder(LinuxDataFolders(home(), "").readRegistryDataFolder(), wineGame));

    // A value that names a missing folder, or a registry that does not read, is passed over.
    fs::remove_all(customGame);
    EXPECT_TRUE(sameFolder(folders.readRegistryDataFolder(), wineGame));
    m_dir.write("home/.wine/system.reg",
                "WINE REGISTRY Version 2\n[Software\\\\Wow6432Node\\\\LucasArts\\\\");
    EXPECT_TRUE(sameFolder(folders.readRegistryDataFolder(), protonGame));
    fs::remove(home() + "/.wine/system.reg");
    fs::create_directory(home() + "/.wine/system.reg");
    fs::remove(custom + "/system.reg");
    ASSERT_EQ(::mkfifo((custom + "/system.reg").c_str(), 0600), 0);
    EXPECT_TRUE(sameFolder(folders.readRegistryDataFolder(), protonGame));

    // The plain key counts as well as the 32-bit view; when both name folders the 32-bit view wins.
    m_dir.write(proton + "/system.reg", systemReg("Program Files", false));
    EXPECT_EQ(folders.readRegistryDataFolder(), "");
    const std::string plain = folder(proton + "/drive_c/Program Files/" + kGame);
    EXPECT_TRUE(sameFolder(folders.readRegistryDataFolder(), plain));
    m_dir.write(proton + "/system.reg", systemReg("Program Files", false) + systemReg("Program Files (x86)"));
    EXPECT_TRUE(sameFolder(folders.readRegistryDataFolder(), protonGame));
    EXPECT_EQ(LinuxDataFolders("", "").readRegistryDataFolder(), "");
}

TEST_F(LinuxDataFoldersTest, SteamLibrariesComeFromEachRootsListEachOnce) {
    const std::string local = folder("home/.local/share/Steam");
    folder("home/.steam");
    fs::create_directory_symlink(local, home() + "/.steam/steam");
    const std::string second = folder("disk/SteamLibrary");
    const std::string third = folder("disk2/Steam Library");
    const std::string flatpak = folder("home/.var/app/com.valvesoftware.Steam/.local/share/Steam");
    // Neither a missing folder, nor a file, nor a relative path, which would depend on the current folder.
    const std::string file = m_dir.write("disk/file", "");
    m_dir.write("home/.local/share/Steam/steamapps/libraryfolders.vdf",
                "\"libraryfolders\" { \"0\" { \"path\" \"" + local + "\" } \"1\" { \"path\" \"" + second +
                    "\" } \"2\" { \"path\" \"" + m_dir.path() +
                    "/unplugged\" } \"3\" { \"path\" \".\" } \"4\" { \"path\" \"" + file + "\" } }");
    m_dir.write("home/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/libraryfolders.vdf",
                "\"libraryfolders\" { \"0\" { \"path\" \"" + third + "/\" } \"1\" { \"path\" \"" + second +
                    "/\" } }");

    const LinuxDataFolders folders(home(), home() + "/.wine/");
    EXPECT_EQ(folders.steamLibraries(), (std::vector<std::string>{local, second, third + "/", flatpak}));

    // WINEPREFIX is often ~/.wine itself; Proton prefixes are counted only where the game has one.
    prefix("home/.wine", "");
    prefix("disk2/Steam Library/steamapps/compatdata/32470/pfx", "");
    folder("disk/SteamLibrary/steamapps/compatdata/228980/pfx");
    EXPECT_EQ(folders.prefixes(),
              (std::vector<std::string>{home() + "/.wine/", third + "/steamapps/compatdata/32470/pfx"}));
    EXPECT_EQ(LinuxDataFolders("", "").steamLibraries(), std::vector<std::string>{});
}

TEST_F(LinuxDataFoldersTest, DefaultFoldersAreEachPrefixsProgramFilesThenEachSteamLibrarysGame) {
    const std::string custom = prefix("custom", "");
    prefix("home/.wine", "");
    const LinuxDataFolders folders(home(), custom);
    EXPECT_EQ(folders.defaultDataFolder(), "");
    // Each folder made here comes before the ones made before it.
    std::string made;
    for (const std::string& game :
         {std::string("home/.local/share/Steam/steamapps/common/Star Wars Empire at War/GameData"),
          "home/.wine/drive_c/Program Files (x86)/" + kGame,
          std::string("home/.wine/drive_c/program files/LUCASARTS/Star Wars Empire at War/gamedata")}) {
        made = folder(game);
        EXPECT_TRUE(sameFolder(folders.defaultDataFolder(), made));
    }
    // A file where the folder should be is none.
    m_dir.write("custom/drive_c/Program Files/LucasArts/Star Wars Empire at War", "");
    EXPECT_TRUE(sameFolder(folders.defaultDataFolder(), made));
    made = folder("custom/drive_c/Program Files (x86)/" + kGame);
    EXPECT_TRUE(sameFolder(folders.defaultDataFolder(), made));
}
