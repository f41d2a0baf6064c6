#include "platform/mapped_file.h"

#include <sys/mman.h>

#include <utility>

#include "platform/regular_file.h"

namespace velmora::platform {

MappedFile::~MappedFile() {
    close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      open_(std::exchange(other.open_, false)),
      writable_(std::exchange(other.writable_, false)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        close();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        open_ = std::exchange(other.open_, false);
        writable_ = std::exchange(other.writable_, false);
    }
    return *this;
}

MapError MappedFile::open(const std::filesystem::path& path, MapAccess access) {
    close();
    // Opened without blocking, so a FIFO or a device is refused instead of waited on.
    const RegularFile file = open_regular_file(path);
    switch (file.status) {
        case RegularFileStatus::opened:
            break;
        case RegularFileStatus::not_regular_file:
            return MapError::not_regular_file;
        case RegularFileStatus::open_failed:
            return MapError::open_failed;
    }
    const auto size = static_cast<std::size_t>(file.size);
    if (size > 0) {
        // mmap refuses a zero length, so an empty file is simply an empty view.
        const int protection = access == MapAccess::copy_on_write ? PROT_READ | PROT_WRITE : PROT_READ;
        void* mapping = ::mmap(nullptr, size, protection, MAP_PRIVATE, file.fd.get(), 0);
        if (mapping == MAP_FAILED) {
            return MapError::map_failed;
        }
        ::madvise(mapping, size, MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(mapping);
    }
    size_ = size;
    open_ = true;
    writable_ = access == MapAccess::copy_on_write;
    return MapError::none;
}

void MappedFile::close() {
    if (data_ != nullptr) {
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
    }
    data_ = nullptr;
    size_ = 0;
    open_ = false;
    writable_ = false;
}

}  // namespace velmora::platform
