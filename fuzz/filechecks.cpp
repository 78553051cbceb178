#include "filechecks.h"

#include "managers/file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

void expect(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken File promise: %s\n", promise);
        std::abort();
    }
}

void expectPositionInRange(const File& file) {
    expect(file.tell() <= file.size(), "tell() <= size()");
    expect(file.isEOF() == (file.tell() == file.size()), "isEOF() == (tell() == size())");
}

} // namespace

std::uint64_t readToEnd(File& file) {
    // Odd piece sizes so that reads straddle whatever blocks the file is made of.
    static const std::uint32_t kPieces[] = {1, 7, 4096, 3, 65536};
    unsigned char buffer[65536];
    std::uint64_t total = 0;
    file.seek(0);
    expectPositionInRange(file);
    for (std::size_t i = 0; !file.isEOF(); ++i) {
        const std::uint32_t want = kPieces[i % (sizeof kPieces / sizeof kPieces[0])];
        const std::uint32_t before = file.tell();
        const std::uint32_t got = file.read(buffer, want);
        expect(got <= want, "read() returns at most what was asked");
        expect(file.tell() == before + got, "read() advances by what it returns");
        expectPositionInRange(file);
        total += got;
        if (got == 0) {
            break;
        }
    }
    // One byte more than the pieces delivered: where the file ends short of its size this takes
    // readBytes down the path that grows with what arrives instead of trusting the size.
    file.seek(0);
    const std::uint32_t size = file.size();
    const auto whole = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, total + 1));
    expect(file.readBytes(whole).size() <= whole, "readBytes() returns at most what was asked");
    expectPositionInRange(file);
    file.seek(size);
    expect(file.isEOF(), "seek(size()) is the end");
    expect(file.read(buffer, 1) == 0, "nothing is read at the end");
    return total;
}
