#include "main/filenotfoundexception.h"
#include "main/refptr.h"
#include "managers/physicalfile.h"
#include "support/tempdir.h"

#include <dirent.h>
#include <gtest/gtest.h>

namespace {

int openDescriptors() {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (::readdir(dir) != nullptr) {
        ++count;
    }
    ::closedir(dir);
    return count;
}

std::string readAll(File& file) {
    std::string out;
    char block[3];
    while (std::uint32_t n = file.read(block, sizeof block)) {
        out.append(block, n);
    }
    return out;
}

} // namespace

TEST(PhysicalFile, EmptyFileIsAtItsEndAtOnce) {
    TempDir dir;
    RefPtr<File> f = makeRef<PhysicalFile>(dir.write("empty.bin", ""));
    EXPECT_EQ(f->size(), 0u);
    EXPECT_TRUE(f->isEOF());
    char c;
    EXPECT_EQ(f->read(&c, 1), 0u);
}

TEST(PhysicalFile, SeekStopsAtTheEndAndShortReadsEndThere) {
    TempDir dir;
    const std::string path = dir.write("ten.bin", "0123456789");
    RefPtr<File> f = makeRef<PhysicalFile>(path);
    EXPECT_EQ(f->getName(), path);
    f->seek(10);
    EXPECT_TRUE(f->isEOF());
    f->seek(0xFFFFFFFFu);
    EXPECT_EQ(f->tell(), 10u);
    char buffer[16] = {};
    EXPECT_EQ(f->read(buffer, sizeof buffer), 0u);
    f->seek(7);
    EXPECT_FALSE(f->isEOF());
    EXPECT_EQ(f->read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_TRUE(f->isEOF());
}

TEST(PhysicalFile, TwoObjectsOverOnePathKeepTheirOwnPositions) {
    TempDir dir;
    const std::string path = dir.write("abc.bin", "abcdef");
    RefPtr<File> a = makeRef<PhysicalFile>(path);
    RefPtr<File> b = makeRef<PhysicalFile>(path);
    char x[2];
    a->read(x, 2);
    EXPECT_EQ(b->tell(), 0u);
    EXPECT_EQ(readAll(*b), "abcdef");
    EXPECT_EQ(readAll(*a), "cdef");
}

TEST(PhysicalFile, MissingFileOrFolderIsNotFoundAndOtherFailuresAreIOErrors) {
    TempDir dir;
    const std::string file = dir.folder() + "nothing.alo";
    const std::string folder = dir.folder() + "no\\such\\folder\\x.alo";
    for (const std::string& path : {file, folder}) {
        try {
            makeRef<PhysicalFile>(path);
            ADD_FAILURE() << path;
        } catch (const FileNotFoundException& e) {
            EXPECT_EQ(e.getMessage(), "Unable to find file:\n" + path);
            EXPECT_EQ(e.getFile(), "managers/physicalfile.cpp");
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
}

TEST(PhysicalFile, GamePathsWithBackslashesAndAnyCaseFindTheFile) {
    TempDir dir;
    dir.write("Data/Art/Models/Ship.alo", "model");
    RefPtr<File> f = makeRef<PhysicalFile>(dir.folder() + "DATA\\art\\MODELS\\SHIP.ALO");
    EXPECT_EQ(readAll(*f), "model");
    // A file that appears later in a folder already looked at is found too.
    EXPECT_THROW(makeRef<PhysicalFile>(dir.folder() + "data\\ART\\models\\late.alo"), FileNotFoundException);
    dir.write("Data/Art/Models/Late.alo", "late");
    RefPtr<File> g = makeRef<PhysicalFile>(dir.folder() + "data\\ART\\models\\late.alo");
    EXPECT_EQ(readAll(*g), "late");
}

TEST(PhysicalFile, LastReleaseClosesTheFileAndOtherOwnersKeepItOpen) {
    TempDir dir;
    const std::string path = dir.write("x.bin", "x");
    const int before = openDescriptors();
    {
        RefPtr<File> owner = makeRef<PhysicalFile>(path);
        RefPtr<File> second = owner;
        EXPECT_EQ(openDescriptors(), before + 1);
        owner.reset();
        EXPECT_EQ(openDescriptors(), before + 1);
        char c;
        EXPECT_EQ(second->read(&c, 1), 1u);
    }
    EXPECT_EQ(openDescriptors(), before);
}
