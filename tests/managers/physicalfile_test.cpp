#include "main/filenotfoundexception.h"
#include "managers/physicalfile.h"
#include "support/memoryfile.h"
#include "support/tempdir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::size_t openDescriptors() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(fds), end(fds)));
}

std::string readAll(const std::string& path) {
    return readAll(*makeRef<PhysicalFile>(path));
}

} // namespace

TEST(PhysicalFile, ReadsStopAtTheEndAndTheLastReleaseClosesTheFile) {
    TempDir dir;
    const std::string path = dir.write("ten.bin", "0123456789");
    const std::size_t before = openDescriptors();
    RefPtr<File> f = makeRef<PhysicalFile>(path);
    RefPtr<File> g = f;
    f = makeRef<PhysicalFile>(path);
    EXPECT_EQ(openDescriptors(), before + 2);
    f->seek(0xFFFFFFFFu);
    EXPECT_EQ(f->tell(), 10u);
    char buffer[16] = {};
    EXPECT_EQ(f->read(buffer, sizeof buffer), 0u);
    f->seek(7);
    EXPECT_EQ(f->read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_TRUE(f->isEOF());
    EXPECT_EQ(g->read(buffer, 2), 2u); // each object keeps its own position
    EXPECT_EQ(std::string(buffer, 2), "01");
    f.reset();
    g.reset();
    EXPECT_EQ(openDescriptors(), before);
}

TEST(PhysicalFile, MissingFileOrFolderIsNotFoundAndAFolderIsAnIOError) {
    TempDir dir;
    // A path that goes on through a file is missing too.
    for (const std::string& path : {dir.folder() + "nothing.alo", dir.folder() + "no\\such\\folder\\x.alo",
                                    dir.write("file", "") + "\\x.alo"}) {
        try {
            makeRef<PhysicalFile>(path);
            ADD_FAILURE() << path;
        } catch (const FileNotFoundException& e) {
            EXPECT_EQ(e.getMessage(), "Unable to find file:\n" + path);
        }
    }
    try {
        makeRef<PhysicalFile>(dir.path());
        ADD_FAILURE() << "a folder opened as a file";
    } catch (const FileNotFoundException&) {
        ADD_FAILURE() << "a folder is there, not missing";
    } catch (const IOException& e) {
        EXPECT_EQ(e.getMessage(), "Unable to open file" + dir.path());
    }
    EXPECT_FALSE(PhysicalFile::tryOpen(dir.path()));
}

TEST(PhysicalFile, GamePathsFindTheFileWhateverTheCaseAndSeeFolderChanges) {
    TempDir dir;
    dir.write("Data/Art/Models/Ship.alo", "model");
    EXPECT_EQ(readAll(dir.folder() + "DATA\\art\\MODELS\\SHIP.ALO"), "model");
    // A file that appears later in a folder already looked at is found too.
    EXPECT_THROW(makeRef<PhysicalFile>(dir.folder() + "data\\ART\\models\\late.alo"), FileNotFoundException);
    dir.write("Data/Art/Models/Late.alo", "late");
    EXPECT_EQ(readAll(dir.folder() + "data\\ART\\models\\late.alo"), "late");

    // Two folders made within one clock tick have the same times; after a change of the current folder
    // only their identity tells a relative name's folder from the other.
    auto make = [&](const std::string& folder, const std::string& name, const char* text) {
        ::mkdir((dir.folder() + folder).c_str(), 0700); // no look at the parent, which would change the clock
        std::ofstream(dir.folder() + folder + "/" + name) << text;
        return dir.folder() + folder;
    };
    std::string first, second;
    for (int attempt = 0;; ++attempt) {
        ASSERT_LT(attempt, 100) << "no two folders with the same times";
        first = make("a" + std::to_string(attempt), "Alpha.txt", "a");
        second = make("b" + std::to_string(attempt), "Beta.txt", "b");
        struct stat a {
        }, b{};
        ::stat(first.c_str(), &a);
        ::stat(second.c_str(), &b);
        if (a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec &&
            a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec) {
            break;
        }
    }
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(first);
    EXPECT_EQ(readAll("ALPHA.TXT"), "a");
    std::filesystem::current_path(second);
    EXPECT_EQ(readAll("beta.TXT"), "b");
    std::filesystem::current_path(previous);
}
