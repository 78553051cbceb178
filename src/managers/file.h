#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A read-only, positioned, named, reference-counted byte source.
//
// A File is born with one reference. Whoever keeps it beyond the call that handed it over
// adds a reference (RefPtr does this), and each holder releases its own. Positions and sizes
// are 32-bit: the position is always between 0 and size() inclusive.
class File {
public:
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // True exactly when tell() equals size().
    virtual bool isEOF() const;
    // Number of bytes in the file.
    virtual std::uint32_t size() const = 0;
    // Moves to an absolute offset, or to size() when the offset lies beyond it.
    virtual void seek(std::uint32_t offset);
    // The position of the next read.
    virtual std::uint32_t tell() const;
    // Copies up to count bytes from the position, advances by the number copied and returns it.
    virtual std::uint32_t read(void* buffer, std::uint32_t count) = 0;

    // Reads up to count bytes from the position into a new array sized to what arrived. Memory
    // follows the bytes that are really there, never a count a broken file merely declares.
    std::vector<unsigned char> readBytes(std::uint32_t count);

    // Adds one reference.
    void addRef();
    // Drops one reference; the last one destroys the file.
    void release();
    // The name the file was created with.
    std::string getName() const { return m_name; }

protected:
    explicit File(std::string name);
    virtual ~File();

    std::uint32_t m_position = 0;

private:
    std::int32_t m_refCount = 1;
    std::string m_name;
};
