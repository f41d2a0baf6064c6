#include "pages/models/side_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/pages/page_message_print.h"
#include "tests/support/special_files.h"
#include "tests/support/temp_directory.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

const PageMessage k_cannot_open{MessageKind::refused, "Can't open binary file!", "error"};
const PageMessage k_too_short{MessageKind::refused, "The file is too short: a side file holds 1564 bytes!",
                              "error"};

class SideFileTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, std::size_t size) const {
        std::vector<char> bytes(size);
        for (std::size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(i * 7 + 1);
        }
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        return path.string();
    }

    velmora::testing::TempDirectory temp_dir;
    fs::path dir = temp_dir.path();
};

// Only a regular file is read: a FIFO would block the page for ever, and a directory, device or
// socket is no side file that could be opened, however long or short.
TEST_F(SideFileTest, WhatIsNoRegularFileCannotBeOpened) {
    test::SpecialFiles special;
    ASSERT_NO_FATAL_FAILURE(test::make_special_files(dir, ".fp", special));
    fs::create_directory(dir / "folder.fp");
    for (const std::string& path :
         {(dir / "missing.fp").string(), special.fifo.string(), (dir / "folder.fp").string(),
          std::string("/dev/null"), std::string("/dev/zero"), special.socket.string()}) {
        const auto read = read_side_file(path);
        ASSERT_TRUE(std::holds_alternative<PageMessage>(read)) << path;
        EXPECT_EQ(std::get<PageMessage>(read), k_cannot_open) << path;
    }
}

TEST_F(SideFileTest, ARegularFileGivesItsFirstRecordOrIsTooShort) {
    struct Case {
        std::size_t size;
        bool record;
    };
    for (const Case c :
         {Case{0, false}, Case{1, false}, Case{1563, false}, Case{1564, true}, Case{5000, true}}) {
        SCOPED_TRACE(c.size);
        const auto read = read_side_file(write("side.hw", c.size));
        if (!c.record) {
            ASSERT_TRUE(std::holds_alternative<PageMessage>(read));
            EXPECT_EQ(std::get<PageMessage>(read), k_too_short);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<ConfigBlock>(read));
        const ConfigBlock& record = std::get<ConfigBlock>(read);
        for (std::size_t i = 0; i < record.bytes.size(); ++i) {
            ASSERT_EQ(record.bytes[i], static_cast<std::uint8_t>(i * 7 + 1)) << i;
        }
    }
}

}  // namespace
}  // namespace velmora
