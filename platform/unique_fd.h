// Owns one POSIX file descriptor and closes it exactly once.
//
// Callers may rely on: a moved-from UniqueFd holds no descriptor; reset() and the destructor
// close the held descriptor (close errors are ignored: there is nothing left to do with them).
#pragma once

namespace velmora::platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }

    // Gives up ownership without closing.
    int release();
    // Closes the held descriptor (if any) and takes `fd`.
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

}  // namespace velmora::platform
