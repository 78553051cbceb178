#pragma once

#include "main/refptr.h"
#include "managers/file.h"

#include <cstdint>

// A window of given start and size onto another File: an archive entry, or one chunk's data.
// It keeps a reference on its parent and is named after it. Every read seeks and reads the
// parent, so the parent's position moves.
class MegaSubFile : public File {
public:
    MegaSubFile(File* parent, std::uint32_t start, std::uint32_t size);

    std::uint32_t size() const override { return m_size; }
    // Reads at most what is left of the window; less where the parent ends first.
    std::uint32_t read(void* buffer, std::uint32_t count) override;

private:
    ~MegaSubFile() override;

    RefPtr<File> m_parent;
    std::uint32_t m_start;
    std::uint32_t m_size;
};
