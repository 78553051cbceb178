#include "main/ioexception.h"
#include "model/chunkreader.h"
#include "support/memoryfile.h"
#include "writers/chunkwriter.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

struct Seen {
    std::uint32_t id;
    std::uint32_t size;
    std::uint32_t start;
};

std::vector<Seen> walkAll(File& file) {
    std::vector<Seen> seen;
    ChunkReader::walk(file, [&](ChunkReader& c) {
        seen.push_back({c.getId(), c.getSize(), c.getDataStart()});
    });
    return seen;
}

std::string ioError(const std::function<void()>& action) {
    try {
        action();
    } catch (const IOException& e) {
        return e.getMessage();
    }
    return "no error";
}

} // namespace

TEST(ChunkReader, WalksSiblingsByTheirDeclaredSizesWhateverTheHandlerReads) {
    ChunkWriter w;
    w.data(0x77, "skipped entirely")
        .data(0x10, "")
        .begin(0x20)
        .data(0x21, "abc")
        .end()
        .data(0x30, "xyz", true);
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(w.bytes());
    std::vector<std::uint32_t> ids;
    std::string nested;
    ChunkReader::walk(*file, [&](ChunkReader& c) {
        ids.push_back(c.getId());
        if (c.getId() == 0x20) {
            ChunkReader::walk(c.getDataFile(), [&](ChunkReader& child) {
                const auto data = child.readData();
                nested.assign(data.begin(), data.end());
            });
        }
        if (c.getId() == 0x10) {
            EXPECT_TRUE(c.readData().empty());
        }
        if (c.getId() == 0x30) {
            // Bit 31 of the size is a flag, not part of the length.
            EXPECT_EQ(c.getSize(), 3u);
            EXPECT_EQ(c.getEnd(), file->size());
        }
    });
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0x77, 0x10, 0x20, 0x30}));
    EXPECT_EQ(nested, "abc");
}

TEST(ChunkReader, DataFileIsAWindowNamedAfterTheParent) {
    ChunkWriter w;
    w.data(1, "0123456789");
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(w.bytes(), "ship.alo");
    ChunkReader c(*file);
    EXPECT_EQ(file->tell(), 8u);
    EXPECT_EQ(c.getDataStart(), 8u);
    File& data = c.getDataFile();
    EXPECT_EQ(data.getName(), "ship.alo");
    EXPECT_EQ(data.size(), 10u);
    char buffer[4];
    data.seek(8);
    EXPECT_EQ(data.read(buffer, 4), 2u);
    EXPECT_TRUE(data.isEOF());
}

TEST(ChunkReader, StrayBytesAtAContainersEndAreATruncatedHeader) {
    for (std::size_t stray = 1; stray < 8; ++stray) {
        ChunkWriter w;
        w.data(1, "a").raw(std::string(stray, '\x01'));
        RefPtr<MemoryFile> file = makeRef<MemoryFile>(w.bytes());
        EXPECT_EQ(ioError([&] { walkAll(*file); }), "Unable to read chunk header") << stray;
    }
}

TEST(ChunkReader, DataRunningPastTheFileCannotBeReadButCanBeSkipped) {
    ChunkWriter w;
    w.header(5, 100).raw("short");
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(w.bytes());
    EXPECT_EQ(walkAll(*file).size(), 1u);
    file->seek(0);
    ChunkReader c(*file);
    EXPECT_EQ(ioError([&] { c.readData(); }), "Unable to read chunk data");

    // A length near 2 GiB in a small file fails without reserving memory for it.
    ChunkWriter huge;
    huge.header(5, 0x7FFFFFFFu).raw(std::string(64, 'x'));
    RefPtr<MemoryFile> hugeFile = makeRef<MemoryFile>(huge.bytes());
    ChunkReader h(*hugeFile);
    EXPECT_EQ(ioError([&] { h.readData(); }), "Unable to read chunk data");
}

TEST(ChunkReader, ContainerDeclaredPastTheFileEndsWithAHeaderError) {
    ChunkWriter w;
    w.header(0x400, 1000).data(0x401, "name");
    RefPtr<MemoryFile> file = makeRef<MemoryFile>(w.bytes());
    std::vector<std::uint32_t> children;
    const std::string error = ioError([&] {
        ChunkReader::walk(*file, [&](ChunkReader& c) {
            ChunkReader::walk(c.getDataFile(),
                              [&](ChunkReader& child) { children.push_back(child.getId()); });
        });
    });
    EXPECT_EQ(children, std::vector<std::uint32_t>{0x401});
    EXPECT_EQ(error, "Unable to read chunk header");
}

TEST(ChunkReader, TextEndsAtItsTerminatorOrAtTheEndOfTheData) {
    const std::vector<unsigned char> terminated = {'h', 'u', 'l', 'l', 0, 'x'};
    const std::vector<unsigned char> unterminated = {'h', 'u', 'l', 'l'};
    EXPECT_EQ(ChunkReader::textOf(terminated), "hull");
    EXPECT_EQ(ChunkReader::textOf(unterminated), "hull");
    EXPECT_EQ(ChunkReader::textOf({}), "");
}
