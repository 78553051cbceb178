#pragma once

#include "managers/file.h"

#include <cstdint>
#include <vector>

// The rest of another File, read into memory in one go, so that walking it in many small reads
// costs no further system calls. It is named after the source and keeps the size the source
// declares: where the source delivered fewer bytes than that, reads there come back short,
// just as they would from the source.
class LoadedFile : public File {
public:
    // Reads source from its position to its end.
    explicit LoadedFile(File& source);

    std::uint32_t size() const override { return m_size; }
    std::uint32_t read(void* buffer, std::uint32_t count) override;

private:
    ~LoadedFile() override;

    std::uint32_t m_size;
    std::vector<unsigned char> m_bytes;
};
