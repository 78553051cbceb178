#include "main/badfileexception.h"
#include "managers/crc32.h"
#include "managers/loadedfile.h"
#include "managers/megafile.h"
#include "support/memoryfile.h"
#include "writers/megwriter.h"

#include <gtest/gtest.h>

namespace {

RefPtr<MemoryFile> archiveFile(const std::string& bytes) {
    return makeRef<MemoryFile>(bytes, "C:\\Game\\Data\\Test.meg");
}

const std::vector<std::string> kNames = {"DATA\\ART\\X.ALO", "Data\\Art\\Mixed.dds", "DATA\\EMPTY.TXT",
                                         "DATA\\ZZZ.TXT"};

std::string sampleArchive() {
    const char* const data[] = {"model-x", "texture", "", "last entry"};
    MegWriter w;
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        w.add(kNames[i], data[i]);
    }
    return w.build();
}

// An archive whose records have the given CRCs, names (by index) and starts, one byte each.
std::string layout(const std::vector<std::string>& names,
                   const std::vector<std::array<std::uint32_t, 3>>& records, const std::string& payload,
                   std::uint32_t size = 1) {
    std::vector<MegaFileRecord> table;
    for (const auto& [crc, name, start] : records) {
        table.push_back({crc, 0, size, MegWriter::tablesSize(names, records.size()) + start, name});
    }
    return MegWriter::layout(names, table, payload);
}

} // namespace

TEST(MegaFile, FindsEntriesByTheCrcOfTheUpperCasedNameAndReadsThemInPieces) {
    EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
    RefPtr<MemoryFile> file = archiveFile(sampleArchive());
    bool destroyed = false;
    file->watchDestruction(&destroyed);
    auto archive = std::make_unique<MegaFile>(file.get());
    file.reset();
    ASSERT_EQ(archive->getFileCount(), 4u);
    for (std::size_t i = 0; i < archive->getFileCount(); ++i) {
        EXPECT_EQ(archive->getFileName(i), kNames[archive->getRecord(i).nameIndex]);
        EXPECT_TRUE(i == 0 || archive->getRecord(i - 1).crc < archive->getRecord(i).crc);
    }
    EXPECT_EQ(readAll(*archive->find("data\\art\\x.alo")), "model-x");
    EXPECT_EQ(readAll(*archive->find("DATA\\ART\\MIXED.DDS")), "texture");
    EXPECT_TRUE(archive->find("DATA\\EMPTY.TXT")->isEOF());
    for (const char* missing : {"data/art/x.alo", "\\DATA\\ART\\X.ALO", "DATA\\Y.ALO", ""}) {
        EXPECT_FALSE(archive->find(missing)) << missing;
    }
    RefPtr<File> x = archive->find("DATA\\ART\\X.ALO");
    x->seek(5);
    EXPECT_EQ(readAll(*x), "-x");
    // Entries outlive the archive, named after it, and hold its file open.
    RefPtr<File> last = archive->find("Data\\Zzz.txt");
    archive.reset();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(last->getName(), "C:\\Game\\Data\\Test.meg");
    EXPECT_EQ(readAll(*last), "last entry");
    x.reset();
    last.reset();
    EXPECT_TRUE(destroyed);

    RefPtr<MemoryFile> empty = archiveFile(MegWriter().build());
    EXPECT_FALSE(MegaFile(empty.get()).find("DATA\\X"));
    // A stored name ends at its first zero byte.
    RefPtr<MemoryFile> zero = archiveFile(layout({std::string("DATA\\A.TXT\0junk", 15)}, {{0, 0, 0}}, "a"));
    EXPECT_EQ(MegaFile(zero.get()).getFileName(0), "DATA\\A.TXT");
}

TEST(MegaFile, EqualCrcsAreToldApartByNameAndALoneCrcIsTrusted) {
    // Records keep the CRC they are given, so names can share one without colliding for real; the
    // records around each run are named as the one looked for, but have other CRCs.
    const std::vector<std::string> names = {"DATA\\TWO.TXT", "DATA\\ONE.TXT", "DATA\\THREE.TXT"};
    const std::uint32_t c = crc32(names[1].data(), names[1].size());
    const std::vector<std::vector<std::array<std::uint32_t, 3>>> found = {
        {{c - 1, 1, 0}, {c, 1, 1}, {c, 0, 2}, {c, 2, 3}, {c + 1, 1, 4}}, // before the middle of its run
        {{c - 1, 1, 0}, {c, 0, 2}, {c, 1, 1}, {c + 1, 1, 3}},            // after it
        {{c, 0, 1}},                                                     // a lone CRC: its name is never read
    };
    for (const auto& records : found) {
        RefPtr<MemoryFile> file = archiveFile(layout(names, records, "01234"));
        EXPECT_EQ(readAll(*MegaFile(file.get()).find("data\\one.txt")), "1");
    }
    RefPtr<MemoryFile> others =
        archiveFile(layout(names, {{c - 1, 1, 0}, {c, 0, 0}, {c, 2, 1}, {c + 1, 1, 0}}, "01"));
    EXPECT_FALSE(MegaFile(others.get()).find("data\\one.txt"));
}

TEST(MegaFile, TruncatedOrInconsistentArchivesAreRefusedAndReleased) {
    const std::string good = sampleArchive();
    const std::string refused[] = {
        "",
        good.substr(0, 6),                                     // inside the header
        good.substr(0, 12),                                    // inside the name table
        good.substr(0, MegWriter::tablesSize(kNames, 4) - 10), // inside the file table
        // Counts that no file could hold fail when the names run out, without allocating for them.
        std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 8),
        std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8) + std::string(40, '\0'),
        layout({"DATA\\ONLY.TXT"}, {{0, 1, 0}}, ""), // a record naming a name the table lacks
        layout({"DATA\\ONLY.TXT"}, {{0, 0xFFFFFFFFu, 0}}, ""),
    };
    for (const std::string& bytes : refused) {
        bool destroyed = false;
        RefPtr<MemoryFile> file = archiveFile(bytes);
        file->watchDestruction(&destroyed);
        try {
            MegaFile archive(file.get());
            ADD_FAILURE() << "accepted " << bytes.size() << " bytes";
        } catch (const BadFileException& e) {
            EXPECT_EQ(e.getMessage(), "Bad or corrupted file:\nC:\\Game\\Data\\Test.meg");
            EXPECT_EQ(e.getFile(), "managers/megafile.cpp");
        }
        file.reset();
        EXPECT_TRUE(destroyed) << "the archive kept a reference after failing";
    }
}

TEST(MegaFile, EntriesPastTheArchiveEndReadShortAndNeverWrapAround) {
    // Past a megabyte, so that loading it whole reads on in more than one step.
    const std::string data(3 << 19, 'x');
    const std::uint32_t size = static_cast<std::uint32_t>(data.size()) + 100;
    const std::uint32_t high = 0xFFFFFFF0u - MegWriter::tablesSize({"E"}, 2); // the second starts near 4 GiB
    RefPtr<MemoryFile> file =
        archiveFile(layout({"E"}, {{crc32("E", 1), 0, 2}, {0xFFFFFFFFu, 0, high}}, data, size));
    const MegaFile archive(file.get());
    RefPtr<File> past = archive.find("e");
    EXPECT_EQ(readAll(*past), data.substr(2));
    // Loaded whole, it keeps the declared size and reads short where the source ended.
    past->seek(0);
    RefPtr<File> loaded = makeRef<LoadedFile>(*past);
    EXPECT_EQ(loaded->size(), size);
    EXPECT_EQ(readAll(*loaded), data.substr(2));
    EXPECT_FALSE(loaded->isEOF());
    // Nothing beyond 4 GiB wraps round to the archive's start.
    RefPtr<File> wrapped = archive.openFile(1);
    wrapped->seek(0x20);
    char block[16];
    EXPECT_EQ(wrapped->read(block, sizeof block), 0u);
}
