#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The checks D3DX makes on a DDS file before it decodes one: the "DDS " magic, the header's and the
// pixel format's sizes, a pixel format it reads, dimensions that are not 0, and enough bytes for
// every level of every face (or slice) the header announces.
class DdsHeaderCheck {
public:
    // Bytes of the magic and header.
    static constexpr std::size_t kHeaderSize = 128;

    // The bytes a file of which bytes holds the first count (kHeaderSize when it has that many) must
    // hold to be read whole; 0 with the reason in problem when the header itself is refused.
    static std::uint64_t requiredSize(const unsigned char* bytes, std::size_t count, std::string& problem);
};
