// Memory to read a whole file into: zeroed pages straight from the kernel, on huge pages where the
// kernel offers them, so that reading a large image costs about what copying it costs and not a page
// fault for every 4 KiB of it.
//
// Callers may rely on: after allocate() returns true, bytes() covers `size` writable bytes, all zero,
// until release(), another allocate(), a move or destruction; allocate(0) gives an empty span.
// allocate() returns false (and holds nothing) when the memory cannot be had.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora::platform {

class FileBuffer {
public:
    FileBuffer() = default;
    ~FileBuffer();
    FileBuffer(FileBuffer&& other) noexcept;
    FileBuffer& operator=(FileBuffer&& other) noexcept;
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;

    bool allocate(std::size_t size);
    void release();

    std::span<std::uint8_t> bytes() { return {data_, size_}; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace velmora::platform
