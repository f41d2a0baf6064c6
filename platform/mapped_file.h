// A whole file in memory without copying it, for large flash images.
//
// A read-only view serves inspection; a copy-on-write view serves Generate on the command line: the
// records it changes are copied into this process, every other page stays the file's own, and the
// file itself is never changed.
//
// Callers may rely on: bytes() covers the whole file as it was when open() succeeded (an empty
// file gives an empty span); the view stays valid until close(), another open(), a move or
// destruction. The mapping is private: nothing is ever written back. Another process truncating
// the file while it is mapped makes reads past the new end fault (SIGBUS), so map only files that
// nobody rewrites in place; a file that a user names is read, not mapped (see FlashImageFile). A
// FIFO, device or directory is refused as not_regular_file without waiting on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace velmora::platform {

enum class MapAccess { read_only, copy_on_write };

enum class MapError { none, open_failed, not_regular_file, map_failed };

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    MapError open(const std::filesystem::path& path, MapAccess access = MapAccess::read_only);
    void close();

    bool is_open() const { return open_; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    // The private copy-on-write view; empty unless opened with MapAccess::copy_on_write.
    std::span<std::uint8_t> writable_bytes() {
        return writable_ ? std::span<std::uint8_t>(const_cast<std::uint8_t*>(data_), size_)
                         : std::span<std::uint8_t>();
    }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool open_ = false;
    bool writable_ = false;
};

}  // namespace velmora::platform
