#include "main/badfileexception.h"
#include "managers/crc32.h"
#include "managers/loadedfile.h"
#include "managers/megafile.h"
#include "support/crcforge.h"
#include "support/memoryfile.h"
#include "writers/megwriter.h"

#include <gtest/gtest.h>

namespace {

std::string readAll(File& file) {
    std::string out;
    char block[5];
    while (std::uint32_t n = file.read(block, sizeof block)) {
        out.append(block, n);
    }
    return out;
}

RefPtr<MemoryFile> archiveFile(const std::string& bytes) {
    return makeRef<MemoryFile>(bytes, "C:\\Game\\Data\\Test.meg");
}

const std::vector<std::string> kSampleNames = {"DATA\\ART\\MODELS\\X.ALO", "Data\\Art\\Textures\\Mixed.dds",
                                               "DATA\\EMPTY.TXT", "DATA\\ZZZ.TXT"};

std::string sampleArchive() {
    const char* const data[] = {"model-x", "texture", "", "last entry"};
    MegWriter w;
    for (std::size_t i = 0; i < kSampleNames.size(); ++i) {
        w.add(kSampleNames[i], data[i]);
    }
    return w.build();
}

// Expects the archive bytes to be refused with the archive's name, giving its reference back.
void expectRefused(const std::string& bytes) {
    bool destroyed = false;
    RefPtr<MemoryFile> file = archiveFile(bytes);
    file->watchDestruction(&destroyed);
    try {
        MegaFile archive(file.get());
        ADD_FAILURE() << "archive accepted";
    } catch (const BadFileException& e) {
        EXPECT_EQ(e.getMessage(), "Bad or corrupted file:\nC:\\Game\\Data\\Test.meg");
        EXPECT_EQ(e.getFile(), "managers/megafile.cpp");
    }
    file.reset();
    EXPECT_TRUE(destroyed) << "the archive kept a reference after failing";
}

} // namespace

TEST(Crc32, MatchesTheIsoHdlcCheckValue) {
    EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32("", 0), 0u);
}

TEST(MegaFile, ListsEntriesInTableOrderWithNamesAsStored) {
    RefPtr<MemoryFile> file = archiveFile(sampleArchive());
    const MegaFile archive(file.get());
    ASSERT_EQ(archive.getFileCount(), 4u);
    for (std::size_t i = 1; i < archive.getFileCount(); ++i) {
        EXPECT_LT(archive.getRecord(i - 1).crc, archive.getRecord(i).crc);
    }
    bool sawMixed = false;
    for (std::size_t i = 0; i < archive.getFileCount(); ++i) {
        sawMixed |= archive.getFileName(i) == "Data\\Art\\Textures\\Mixed.dds";
        RefPtr<File> entry = archive.openFile(i);
        EXPECT_EQ(entry->size(), archive.getRecord(i).size);
        EXPECT_EQ(entry->getName(), "C:\\Game\\Data\\Test.meg");
    }
    EXPECT_TRUE(sawMixed);
}

TEST(MegaFile, FindIgnoresCaseButNotSlashDirection) {
    RefPtr<MemoryFile> file = archiveFile(sampleArchive());
    const MegaFile archive(file.get());
    RefPtr<File> x = archive.find("data\\art\\models\\x.alo");
    ASSERT_TRUE(x);
    EXPECT_EQ(readAll(*x), "model-x");
    // The stored name is mixed case; its CRC is over the upper-cased name, which find computes too.
    RefPtr<File> mixed = archive.find("DATA\\ART\\TEXTURES\\MIXED.DDS");
    ASSERT_TRUE(mixed);
    EXPECT_EQ(readAll(*mixed), "texture");
    EXPECT_FALSE(archive.find("data/art/models/x.alo"));
    EXPECT_FALSE(archive.find("\\DATA\\ART\\MODELS\\X.ALO"));
    EXPECT_FALSE(archive.find("DATA\\ART\\MODELS\\Y.ALO"));
}

TEST(MegaFile, EqualCrcsAreToldApartByNameAndALoneCrcIsTrusted) {
    const std::string first = nameWithCrc("DATA\\ONE_", 0x5EED0000u);
    const std::string second = nameWithCrc("DATA\\TWO_", 0x5EED0000u);
    const std::string third = nameWithCrc("DATA\\THREE_", 0x5EED0000u);
    ASSERT_EQ(crc32(first.data(), first.size()), crc32(third.data(), third.size()));

    MegWriter w;
    w.add("DATA\\BEFORE.TXT", "before");
    w.add(first, "first");
    w.add(second, "second");
    w.add("DATA\\AFTER.TXT", "after");
    RefPtr<MemoryFile> file = archiveFile(w.build());
    const MegaFile archive(file.get());
    EXPECT_EQ(readAll(*archive.find(first)), "first");
    EXPECT_EQ(readAll(*archive.find(second)), "second");
    EXPECT_FALSE(archive.find(third));

    // With only one record of that CRC, its name is never compared.
    MegWriter single;
    single.add(first, "first");
    RefPtr<MemoryFile> singleFile = archiveFile(single.build());
    const MegaFile lone(singleFile.get());
    RefPtr<File> unrelated = lone.find(third);
    ASSERT_TRUE(unrelated);
    EXPECT_EQ(readAll(*unrelated), "first");
}

TEST(MegaFile, EmptyArchiveFindsNothing) {
    RefPtr<MemoryFile> file = archiveFile(MegWriter().build());
    const MegaFile archive(file.get());
    EXPECT_EQ(archive.getFileCount(), 0u);
    EXPECT_FALSE(archive.find(""));
    EXPECT_FALSE(archive.find("DATA\\X"));
}

TEST(MegaFile, NamesEndAtTheirFirstZeroByte) {
    const std::string stored("DATA\\A.TXT\0junk", 15);
    MegaFileRecord r;
    r.crc = crc32("DATA\\A.TXT", 10);
    r.size = 1;
    r.start = MegWriter::tablesSize({stored}, 1);
    RefPtr<MemoryFile> file = archiveFile(MegWriter::layout({stored}, {r}, "a"));
    const MegaFile archive(file.get());
    EXPECT_EQ(archive.getFileName(0), "DATA\\A.TXT");
    EXPECT_TRUE(archive.find("data\\a.txt"));
}

TEST(MegaFile, TruncatedOrInconsistentArchivesAreRefusedAndReleased) {
    const std::string good = sampleArchive();
    expectRefused("");
    expectRefused(good.substr(0, 6));                                           // inside the header
    expectRefused(good.substr(0, 12));                                          // inside the name table
    expectRefused(good.substr(0, MegWriter::tablesSize(kSampleNames, 4) - 10)); // inside the file table

    // A name count that no file could hold fails when the names run out, without allocating for it.
    expectRefused(std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 8));
    expectRefused(std::string("\x00\x00\x00\x00\xFF\xFF\xFF\xFF", 8) + std::string(40, '\0'));

    // A record naming a name the table does not have.
    MegaFileRecord r;
    r.nameIndex = 1;
    expectRefused(MegWriter::layout({"DATA\\ONLY.TXT"}, {r}, ""));
    r.nameIndex = 0xFFFFFFFFu;
    expectRefused(MegWriter::layout({"DATA\\ONLY.TXT"}, {r}, ""));
}

TEST(MegaFile, EntriesReadInPiecesStopAtTheirOwnEnd) {
    RefPtr<MemoryFile> file = archiveFile(sampleArchive());
    const MegaFile archive(file.get());
    RefPtr<File> empty = archive.find("DATA\\EMPTY.TXT");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEOF());
    char c;
    EXPECT_EQ(empty->read(&c, 1), 0u);

    RefPtr<File> x = archive.find("DATA\\ART\\MODELS\\X.ALO");
    char piece[3];
    EXPECT_EQ(x->read(piece, 3), 3u);
    x->seek(5);
    EXPECT_EQ(x->read(piece, 3), 2u);
    EXPECT_EQ(std::string(piece, 2), "-x");
    EXPECT_TRUE(x->isEOF());
}

TEST(MegaFile, EntriesPastTheArchiveEndReadShortAndNeverWrapAround) {
    const std::vector<std::string> names = {"DATA\\PAST.TXT", "DATA\\WRAP.TXT"};
    const std::uint32_t tables = MegWriter::tablesSize(names, 2);
    MegaFileRecord past;
    past.crc = crc32("DATA\\PAST.TXT", 13);
    past.start = tables + 2;
    past.size = 100;
    past.nameIndex = 0;
    MegaFileRecord wrap;
    wrap.crc = crc32("DATA\\WRAP.TXT", 13);
    wrap.start = 0xFFFFFFF0u;
    wrap.size = 0x40;
    wrap.nameIndex = 1;
    std::vector<MegaFileRecord> records = {past, wrap};
    if (records[0].crc > records[1].crc) {
        std::swap(records[0], records[1]);
    }
    RefPtr<MemoryFile> file = archiveFile(MegWriter::layout(names, records, "abcdef"));
    const MegaFile archive(file.get());
    EXPECT_EQ(readAll(*archive.find("DATA\\PAST.TXT")), "cdef");
    RefPtr<File> wrapped = archive.find("DATA\\WRAP.TXT");
    wrapped->seek(0x20);
    char block[16];
    EXPECT_EQ(wrapped->read(block, sizeof block), 0u);
}

TEST(MegaFile, EntriesOutliveTheArchiveAndHoldTheFileOpen) {
    bool destroyed = false;
    RefPtr<File> entry;
    {
        RefPtr<MemoryFile> file = archiveFile(sampleArchive());
        file->watchDestruction(&destroyed);
        auto archive = std::make_unique<MegaFile>(file.get());
        file.reset();
        entry = archive->find("DATA\\ZZZ.TXT");
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(readAll(*entry), "last entry");
    entry.reset();
    EXPECT_TRUE(destroyed);
}

TEST(LoadedFile, KeepsTheDeclaredSizeAndReadsShortWhereTheSourceEnded) {
    // An entry declaring 100 bytes in an archive that holds 4 of them.
    MegaFileRecord r;
    r.crc = crc32("E", 1);
    r.size = 100;
    r.start = MegWriter::tablesSize({"E"}, 1);
    RefPtr<MemoryFile> file = archiveFile(MegWriter::layout({"E"}, {r}, "abcd"));
    const MegaFile archive(file.get());
    RefPtr<File> entry = archive.find("e");
    RefPtr<File> loaded = makeRef<LoadedFile>(*entry);
    EXPECT_EQ(loaded->getName(), entry->getName());
    EXPECT_EQ(loaded->size(), 100u);
    EXPECT_EQ(readAll(*loaded), "abcd");
    EXPECT_FALSE(loaded->isEOF());
    loaded->seek(200);
    EXPECT_TRUE(loaded->isEOF());
}
