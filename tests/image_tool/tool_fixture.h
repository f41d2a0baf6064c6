// Runs the real velmora-image program in a private folder, with a sample image ready.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config/flash_image.h"
#include "tests/config/image_builder.h"
#include "tests/support/temp_directory.h"

namespace velmora {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// Runs the real program, with a drive root of its own unless the test gives one.
class VelmoraImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        sample_ = (dir_ / "sample.bin").string();
        ASSERT_EQ(run("sample -o " + sample_).status, 0);
    }

    ToolRun run(const std::string& args, const std::string& env = "") const {
        const fs::path out = dir_ / "stdout.txt";
        const fs::path err = dir_ / "stderr.txt";
        const std::string command =
            env + " " VELMORA_IMAGE_TOOL " " + args + " >" + out.string() + " 2>" + err.string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    }

    static std::string slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    std::vector<std::uint8_t> sample_bytes() const {
        std::ifstream in(sample_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // A small image whose directory B carries `script` as its key script record.
    std::string image_with_script(const std::string& name, const std::vector<std::uint8_t>& script) const {
        test::ImageBuilder builder(0x10000 + 0x100 + script.size() + 16);
        builder.directory(0x40, {{TAG_MAIN, 0x100, 464}}).pattern(0x140, 464, 3);
        builder.directory(0x10000, {{TAG_KEY_SCRIPT, 0x100, static_cast<std::uint32_t>(script.size())}});
        if (!script.empty()) {
            builder.bytes(0x10100, script);
        }
        return write(name, builder.build());
    }

    velmora::testing::TempDirectory temp_dir;
    fs::path dir_ = temp_dir.path();
    std::string sample_;
};

}  // namespace velmora
