#include "script/key_script_line_reader.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

constexpr char k_line_feed = '\n';
constexpr char k_carriage_return = '\r';

// Enough to tell a full line from a longer one: the characters, a carriage return and the line feed.
constexpr std::size_t k_line_window = KeyScriptLineReader::k_line_max + 2;

// A file is read in chunks far larger than a line so that a megabyte script costs a few reads.
constexpr std::size_t k_chunk_size = 64 * 1024;
static_assert(k_chunk_size >= k_line_window, "a chunk must hold a whole line window");

}  // namespace

KeyScriptLineReader::KeyScriptLineReader(std::string_view text) : unread_(text) {}

KeyScriptLineReader::KeyScriptLineReader(std::FILE* file)
    : file_(file), buffer_(k_chunk_size), unread_(buffer_.data(), 0), file_ended_(file == nullptr) {}

void KeyScriptLineReader::fill(std::size_t wanted) {
    if (file_ended_ || unread_.size() >= wanted) {
        return;
    }
    // The unread tail moves to the front, so the buffer never grows past one chunk.
    std::size_t kept = unread_.size();
    std::memmove(buffer_.data(), unread_.data(), kept);
    while (kept < wanted && !file_ended_) {
        const std::size_t got = std::fread(buffer_.data() + kept, 1, buffer_.size() - kept, file_);
        kept += got;
        if (got == 0) {
            file_ended_ = true;
            read_failed_ = std::ferror(file_) != 0;
        }
    }
    unread_ = std::string_view(buffer_.data(), kept);
}

bool KeyScriptLineReader::next(std::string_view& line) {
    if (pass_over_) {
        return false;
    }
    fill(k_line_window);
    if (unread_.empty()) {
        pass_over_ = true;
        return false;
    }

    const std::size_t window = std::min(unread_.size(), k_line_window);
    const auto* feed = static_cast<const char*>(std::memchr(unread_.data(), k_line_feed, window));
    std::size_t length = window;
    std::size_t consumed = window;
    if (feed != nullptr) {
        length = static_cast<std::size_t>(feed - unread_.data());
        consumed = length + 1;
        if (length > 0 && unread_[length - 1] == k_carriage_return) {
            --length;
        }
    }
    // Without a line feed in the window the line is either the file's last or longer than a line may be.
    if (length > k_line_max) {
        length = k_line_max;
        pass_over_ = true;
    }

    line = unread_.substr(0, length);
    unread_.remove_prefix(consumed);

    // The rules work on C strings: whatever follows a NUL in the line is never seen.
    if (const void* nul = std::memchr(line.data(), '\0', line.size()); nul != nullptr) {
        line = line.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - line.data()));
    }
    return true;
}

}  // namespace velmora
