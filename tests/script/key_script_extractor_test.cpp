#include "script/key_script_extractor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "platform/child_process.h"
#include "tests/platform/child_output.h"
#include "tests/platform/temp_drive_root.h"
#include "tests/script/recording_runner.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using testing::RecordingRunner;
using testing::TempDirectory;
using testing::TempDriveRoot;

constexpr mode_t k_permission_bits = 07777;

const std::string k_script_text =
    "CFGHEADER=toolcfg\n[1_POWER][0x00][0x01][0x02];\n[KEY_MENU][0x10][0x11][0x12];\n";

std::string read_all(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_text(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Compresses with the system's gzip, as the box's tools stored the script.
std::string gzip(const std::string& text) {
    platform::ChildProcess child;
    EXPECT_TRUE(child.start("gzip -c"));
    // Small enough to fit the pipe, so writing everything before reading cannot block.
    EXPECT_EQ(::write(child.input_fd(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
    std::string compressed;
    std::string error;
    EXPECT_EQ(testing::collect_output(child, compressed, error), 0) << error;
    return compressed;
}

KeyScriptBuffer buffer_of(const std::string& bytes) {
    KeyScriptBuffer buffer;
    EXPECT_LE(bytes.size(), buffer.bytes.size());
    std::copy(bytes.begin(), bytes.end(), buffer.bytes.begin());
    buffer.size = static_cast<std::uint32_t>(bytes.size());
    return buffer;
}

class ScopedPath {
public:
    explicit ScopedPath(const std::filesystem::path& value) {
        if (const char* old = std::getenv("PATH"); old != nullptr) {
            old_ = old;
        }
        ::setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath() {
        if (old_) {
            ::setenv("PATH", old_->c_str(), 1);
        } else {
            ::unsetenv("PATH");
        }
    }
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

private:
    std::optional<std::string> old_;
};

class ExtractKeyScriptTest : public ::testing::Test {
protected:
    TempDriveRoot drives;
    RecordingRunner runner;
    std::filesystem::path tmp() const { return drives.root() / "D" / "tmp"; }
    std::filesystem::path script() const { return tmp() / "script-kv.cfg"; }
    std::filesystem::path compressed() const { return tmp() / "script-kv.cfg.gz"; }
};

TEST_F(ExtractKeyScriptTest, NamedFilesAreTheOnesTheKeyMapPageUses) {
    EXPECT_EQ(platform::native_path(k_script_directory), tmp());
    EXPECT_EQ(platform::native_path(k_script_path), script());
    EXPECT_EQ(platform::native_path(k_compressed_script_path), compressed());
    EXPECT_EQ(k_decompress_command, "gzip.exe -d D:\\tmp\\script-kv.cfg.gz");
}

TEST_F(ExtractKeyScriptTest, UnpacksTheScriptToAHiddenFileAndStopsWaitingAtOnce) {
    const KeyScriptBuffer buffer = buffer_of(gzip(k_script_text));
    const auto start = std::chrono::steady_clock::now();
    ExtractKeyScript(buffer, runner);
    const auto took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(read_all(script()), k_script_text);
    EXPECT_FALSE(std::filesystem::exists(compressed())) << "gzip replaces the compressed file";
    struct stat info {};
    ASSERT_EQ(::stat(script().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & k_permission_bits, 0600u);
    ASSERT_EQ(::stat(tmp().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & k_permission_bits, 0700u);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(runner.started(), std::vector<std::string>{std::string(k_decompress_command)});
    // gzip takes a few milliseconds; a wait that slept whole polls would take a second or more here.
    EXPECT_LT(took, 1s);
}

struct BadScriptCase {
    const char* name;
    std::string bytes;
};

void PrintTo(const BadScriptCase& c, std::ostream* os) {
    *os << c.name;
}

class ExtractBadScript : public ExtractKeyScriptTest, public ::testing::WithParamInterface<BadScriptCase> {};

TEST_P(ExtractBadScript, LeavesNoScriptBehindNotEvenAStaleOne) {
    ASSERT_TRUE(std::filesystem::create_directories(tmp()));
    write_text(script(), "CFGHEADER=toolcfg\n[1_OLDKEY][0x00][0x01][0x02];\n");
    ExtractKeyScript(buffer_of(GetParam().bytes), runner);
    EXPECT_FALSE(std::filesystem::exists(script()));
    EXPECT_FALSE(runner.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExtractBadScript,
    ::testing::Values(BadScriptCase{"Empty", ""}, BadScriptCase{"NotGzip", "plain text, not compressed"},
                      // A gzip header and the first byte of its data.
                      BadScriptCase{"Truncated", std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00"
                                                             "\x00\x03\xf3",
                                                             11)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExtractKeyScriptTest, StaleFilesOfAnEarlierRunAreReplaced) {
    ASSERT_TRUE(std::filesystem::create_directories(tmp()));
    write_text(script(), "CFGHEADER=toolcfg\n[1_OLDKEY][0x00][0x01][0x02];\n");
    write_text(compressed(), "leftover");
    write_text(tmp() / "unrelated.txt", "kept");
    ASSERT_EQ(::chmod(tmp().c_str(), 0700), 0);

    ExtractKeyScript(buffer_of(gzip(k_script_text)), runner);
    EXPECT_EQ(read_all(script()), k_script_text);
    EXPECT_EQ(read_all(tmp() / "unrelated.txt"), "kept") << "an existing directory is used as it is";
}

TEST_F(ExtractKeyScriptTest, WithoutGzipOnThePathItReturnsAtOnceAndLeavesNoScript) {
    const TempDirectory empty_bin;
    const KeyScriptBuffer buffer = buffer_of(gzip(k_script_text));
    const ScopedPath path(empty_bin.path());
    const auto start = std::chrono::steady_clock::now();
    ExtractKeyScript(buffer, runner);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(std::filesystem::exists(script()));
    EXPECT_EQ(runner.output(), "Unable to start gzip.exe -d D:\\tmp\\script-kv.cfg.gz\n");
}

TEST_F(ExtractKeyScriptTest, AGzipThatNeverEndsIsStoppedAtTheLimit) {
    // A script of at most 10 KiB unpacks in milliseconds: the window waits a few seconds, not more.
    static_assert(k_decompress_limit >= 1s && k_decompress_limit <= 5s);

    const TempDirectory bin;
    const std::filesystem::path fake = bin.path() / "gzip";
    const std::filesystem::path pid_file = bin.path() / "pid";
    std::ofstream(fake) << "#!/bin/sh\necho $$ > '" << pid_file.string()
                        << "'\necho partial > \"$(dirname \"$2\")/script-kv.cfg\"\nexec sleep 600\n";
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    const KeyScriptBuffer buffer = buffer_of(gzip(k_script_text));
    const std::string sh_path = "/bin";
    const ScopedPath path(std::filesystem::path(bin.path().string() + ":" + sh_path));
    // A short limit from the test; whatever it is, the call returns only once gzip has been stopped.
    ExtractKeyScript(buffer, runner, 300ms);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_FALSE(std::filesystem::exists(script())) << "no half-written script is left for the page";
    const pid_t fake_pid = std::stoi(read_all(pid_file));
    EXPECT_NE(::kill(fake_pid, 0), 0) << "the sleeping gzip was killed and reaped";
}

TEST_F(ExtractKeyScriptTest, AnUnwritableScriptFileStopsBeforeGzip) {
    // "D:\tmp" taken by a file: neither the directory nor the compressed file can be made.
    ASSERT_TRUE(std::filesystem::create_directories(tmp().parent_path()));
    write_text(tmp(), "not a directory");
    ExtractKeyScript(buffer_of(gzip(k_script_text)), runner);
    EXPECT_TRUE(runner.started().empty());
    EXPECT_EQ(read_all(tmp()), "not a directory");
}

TEST_F(ExtractKeyScriptTest, ASizeBeyondTheBufferWritesNothing) {
    KeyScriptBuffer buffer = buffer_of(gzip(k_script_text));
    buffer.size = KeyScriptBuffer::k_capacity + 1;
    ExtractKeyScript(buffer, runner);
    EXPECT_TRUE(runner.started().empty());
    EXPECT_FALSE(std::filesystem::exists(compressed()));
}

}  // namespace
}  // namespace velmora
