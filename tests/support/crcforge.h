#pragma once

#include <cstdint>
#include <string>

// A name that starts with prefix, upper-case stable and free of zero bytes, whose CRC-32
// equals crc: four bytes are appended that steer the register to the wanted value. Different
// prefixes give different names with the same CRC.
std::string nameWithCrc(const std::string& prefix, std::uint32_t crc);
