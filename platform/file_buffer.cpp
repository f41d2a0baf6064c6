#include "platform/file_buffer.h"

#include <sys/mman.h>

#include <utility>

namespace velmora::platform {

FileBuffer::~FileBuffer() {
    release();
}

FileBuffer::FileBuffer(FileBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FileBuffer& FileBuffer::operator=(FileBuffer&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

bool FileBuffer::allocate(std::size_t size) {
    release();
    if (size == 0) {
        return true;
    }
    void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return false;
    }
    // Only a hint: where huge pages are off, the buffer is simply made of small ones.
    ::madvise(memory, size, MADV_HUGEPAGE);
    data_ = static_cast<std::uint8_t*>(memory);
    size_ = size;
    return true;
}

void FileBuffer::release() {
    if (data_ != nullptr) {
        ::munmap(data_, size_);
    }
    data_ = nullptr;
    size_ = 0;
}

}  // namespace velmora::platform
