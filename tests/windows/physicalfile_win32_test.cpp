#include "main/filenotfoundexception.h"
#include "main/refptr.h"
#include "managers/physicalfile.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <string>

namespace {

// A fresh folder under the user's temporary folder, removed with its files afterwards.
class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        m_path = std::string(base) + "kestrin-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount());
        CreateDirectoryA(m_path.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const std::string& f : m_files) {
            DeleteFileA(f.c_str());
        }
        RemoveDirectoryA(m_path.c_str());
    }
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = m_path + "\\" + name;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
        m_files.push_back(path);
        return path;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::vector<std::string> m_files;
};

} // namespace

TEST(PhysicalFileWin32, MissingFilesAndFoldersAreNotFound) {
    TempFolder dir;
    for (const std::string& path : {dir.path() + "\\none.alo", dir.path() + "\\no\\such\\x.alo"}) {
        try {
            makeRef<PhysicalFile>(path);
            ADD_FAILURE() << path;
        } catch (const FileNotFoundException& e) {
            EXPECT_EQ(e.getMessage(), "Unable to find file:\n" + path);
        }
    }
}

TEST(PhysicalFileWin32, FoldersAndFilesLockedByOthersAreIOErrors) {
    TempFolder dir;
    const std::string path = dir.write("locked.bin", "abc");
    // Another holder that shares nothing keeps us out.
    HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    for (const std::string& p : {path, dir.path()}) {
        try {
            makeRef<PhysicalFile>(p);
            ADD_FAILURE() << p;
        } catch (const FileNotFoundException&) {
            ADD_FAILURE() << p << " reported missing";
        } catch (const IOException& e) {
            EXPECT_EQ(e.getMessage(), "Unable to open file" + p);
        }
    }
    CloseHandle(exclusive);
}

TEST(PhysicalFileWin32, ReadsFromItsOwnPositionAndStopsAtTheEnd) {
    TempFolder dir;
    const std::string path = dir.write("ten.bin", "0123456789");
    RefPtr<File> a = makeRef<PhysicalFile>(path);
    RefPtr<File> b = makeRef<PhysicalFile>(path);
    EXPECT_EQ(a->size(), 10u);
    char buffer[16];
    a->seek(7);
    EXPECT_EQ(b->read(buffer, 2), 2u);
    EXPECT_EQ(a->read(buffer, sizeof buffer), 3u);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_TRUE(a->isEOF());
    EXPECT_EQ(a->read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(b->tell(), 2u);
}
