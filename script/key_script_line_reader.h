// Cuts a key script into lines, the same way for a script in memory and for an open file, so that
// reading the file and parsing its bytes can never disagree.
//
// What callers may rely on:
// - A line ends at a line feed; a carriage return right before the line feed is not part of it.
// - A line of up to k_line_max characters comes whole. A longer one comes as its first k_line_max
//   characters and ends the pass: nothing after it is read.
// - A last line without a line feed still comes.
// - A NUL byte ends the line's text there; the bytes after it up to the line end are skipped.
// - A file is read in chunks, never more than the pass needs plus one chunk; a line's view stays
//   valid until the next call of next().
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>
#include <vector>

namespace velmora {

class KeyScriptLineReader {
public:
    // The script's lines are read into a buffer of 1000 bytes, one of them the terminator.
    static constexpr std::size_t k_line_max = 999;

    // Reads the lines of `text`, which must outlive the reader.
    explicit KeyScriptLineReader(std::string_view text);
    // Reads the lines of `file` from its current position; the caller keeps and closes the file.
    explicit KeyScriptLineReader(std::FILE* file);

    // The next line's text in `line`; false when the pass is over.
    bool next(std::string_view& line);

    // True when reading the file failed (as opposed to reaching its end).
    bool read_failed() const { return read_failed_; }

private:
    void fill(std::size_t wanted);

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::string_view unread_;
    bool file_ended_ = true;
    bool read_failed_ = false;
    bool pass_over_ = false;
};

}  // namespace velmora
