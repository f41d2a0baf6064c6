// Words for what a path names when a regular file was wanted, for the messages that refuse it.
//
// Callers may rely on: file_kind_text() never blocks and never opens the path; it names what is there
// ("a directory", "a FIFO", "a character device", ...), or is empty when the path cannot be examined.
#pragma once

#include <sys/types.h>

#include <string>

namespace velmora::provision {

// "a directory" for S_IFDIR, ...; "not a regular file" for a kind without a name of its own.
std::string file_kind_text(mode_t mode);
// What `path` is (following links); empty when it cannot be examined (it does not exist).
std::string file_kind_text(const std::string& path);

}  // namespace velmora::provision
