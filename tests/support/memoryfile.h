#pragma once

#include "main/refptr.h"
#include "managers/file.h"

#include <cstdint>
#include <string>
#include <utility>

// A File over bytes in memory. It can be told to fail every read from some position on (as a
// read error does: 0 bytes, position kept) and reports its destruction through a flag.
class MemoryFile : public File {
public:
    explicit MemoryFile(std::string bytes, std::string name = "memory")
        : File(std::move(name)), m_bytes(std::move(bytes)) {}

    std::uint32_t size() const override { return static_cast<std::uint32_t>(m_bytes.size()); }
    std::uint32_t read(void* buffer, std::uint32_t count) override;

    // Reads starting at or after offset return 0.
    void failReadsFrom(std::uint32_t offset) { m_failFrom = offset; }
    // Set to true when the file is destroyed.
    void watchDestruction(bool* destroyed) { m_destroyed = destroyed; }
    // Number of read calls so far.
    int readCalls() const { return m_readCalls; }

private:
    ~MemoryFile() override {
        if (m_destroyed != nullptr) {
            *m_destroyed = true;
        }
    }

    std::string m_bytes;
    std::uint32_t m_failFrom = UINT32_MAX;
    bool* m_destroyed = nullptr;
    int m_readCalls = 0;
};

// What is left of file, read in small pieces as the readers do.
std::string readAll(File& file);
