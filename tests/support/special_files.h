// Files that are not regular files, for the tables that check a reader refuses them: a FIFO without a
// writer (a careless open() or read() blocks on it for ever) and a bound Unix socket (open() fails on
// it with ENXIO). The socket stays bound while the object lives.
#pragma once

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/unique_fd.h"

namespace velmora::test {

struct SpecialFiles {
    std::filesystem::path fifo;
    std::filesystem::path socket;
    platform::UniqueFd socket_fd;
};

// Makes "fifo<suffix>" and "socket<suffix>" in `dir`; call under ASSERT_NO_FATAL_FAILURE.
inline void make_special_files(const std::filesystem::path& dir, const std::string& suffix,
                               SpecialFiles& files) {
    files.fifo = dir / ("fifo" + suffix);
    ASSERT_EQ(::mkfifo(files.fifo.c_str(), 0600), 0);
    files.socket = dir / ("socket" + suffix);
    files.socket_fd = platform::UniqueFd(::socket(AF_UNIX, SOCK_STREAM, 0));
    ASSERT_TRUE(files.socket_fd);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", files.socket.c_str());
    ASSERT_EQ(::bind(files.socket_fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
}

}  // namespace velmora::test
