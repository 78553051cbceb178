#pragma once

#include <cstdint>

// One 20-byte record of a MEG archive's file table.
struct MegaFileRecord {
    std::uint32_t crc = 0;       // crc32 of the entry's upper-cased name
    std::uint32_t index = 0;     // as stored; not used
    std::uint32_t size = 0;      // bytes of entry data
    std::uint32_t start = 0;     // offset of the data from the start of the archive
    std::uint32_t nameIndex = 0; // position of the name in the name table
};
