#include "tools/velmora-provision/file_kind.h"

#include <sys/stat.h>

namespace velmora::provision {

std::string file_kind_text(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFREG:
            return "a regular file";
        case S_IFDIR:
            return "a directory";
        case S_IFIFO:
            return "a FIFO";
        case S_IFCHR:
            return "a character device";
        case S_IFBLK:
            return "a block device";
        case S_IFSOCK:
            return "a socket";
        default:
            return "not a regular file";
    }
}

std::string file_kind_text(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return {};
    }
    return file_kind_text(status.st_mode);
}

}  // namespace velmora::provision
