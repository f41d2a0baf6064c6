// Read-only view of a whole file in memory, for inspecting large flash images without copying them.
//
// Callers may rely on: bytes() covers the whole file as it was when open() succeeded (an empty
// file gives an empty span); the view stays valid until close(), another open(), a move or
// destruction. The mapping is private: nothing is ever written back. Another process truncating
// the file while it is mapped makes reads past the new end fault, so open only files that nobody
// rewrites in place (the image writers here always replace files by renaming).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace velmora::platform {

enum class MapError { none, open_failed, not_regular_file, map_failed };

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    MapError open(const std::filesystem::path& path);
    void close();

    bool is_open() const { return open_; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool open_ = false;
};

}  // namespace velmora::platform
