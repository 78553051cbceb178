#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32 of ISO-HDLC (zlib's and PNG's): reflected polynomial 0xEDB88320, register starting
// at 0xFFFFFFFF, result inverted. MEG archives key their entries by it.
std::uint32_t crc32(const void* data, std::size_t length);
