#pragma once

#include <cstdint>

class File;

// Reads file from its start to its end in pieces, then once more in one readBytes call, and stops
// the process when a File promise is broken: a read returning more than asked, a position past
// size(), isEOF() disagreeing with the position, or readBytes returning more than asked. Returns
// the number of bytes the first pass delivered.
std::uint64_t readToEnd(File& file);
