#include "platform/signal_cleanup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/platform/temp_drive_root.h"

namespace velmora::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDirectory;

// A folder shaped like a run's drive root: nested folders, files, and a link to something that must
// survive the removal.
struct Made {
    fs::path file;
    fs::path tree;
    fs::path empty_directory;
    fs::path outside;
};

Made make_things(const fs::path& base) {
    Made made{base / ".out.tmp", base / "drives", base / "empty", base / "outside"};
    std::ofstream(made.file) << "half written";
    fs::create_directories(made.tree / "D" / "tmp" / "deeper");
    std::ofstream(made.tree / "D" / "tmp" / "script-kv.cfg") << "script";
    std::ofstream(made.tree / "D" / "tmp" / "deeper" / "x") << "x";
    fs::create_directory(made.empty_directory);
    fs::create_directory(made.outside);
    std::ofstream(made.outside / "precious") << "keep";
    fs::create_directory_symlink(made.outside, made.tree / "D" / "link");
    return made;
}

void record(const Made& made) {
    ASSERT_TRUE(SignalCleanup::add(made.file, CleanupKind::file));
    ASSERT_TRUE(SignalCleanup::add(made.tree, CleanupKind::tree));
    ASSERT_TRUE(SignalCleanup::add(made.empty_directory, CleanupKind::directory));
}

void expect_removed(const Made& made) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(made.file)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(made.tree)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(made.empty_directory)));
    EXPECT_TRUE(fs::exists(made.outside / "precious")) << "a link inside a tree is not followed";
}

TEST(SignalCleanup, RemovesWhatWasRecordedAndNothingElse) {
    const TempDirectory base;
    const Made made = make_things(base.path());
    const fs::path forgotten = base.path() / "forgotten";
    std::ofstream(forgotten) << "stays";
    record(made);
    ASSERT_TRUE(SignalCleanup::add(forgotten, CleanupKind::file));
    EXPECT_TRUE(SignalCleanup::remove(forgotten));
    EXPECT_FALSE(SignalCleanup::remove(forgotten)) << "recorded once, forgotten once";

    SignalCleanup::run_now();
    expect_removed(made);
    EXPECT_TRUE(fs::exists(forgotten));
}

TEST(SignalCleanup, RefusesWhatTheTableCannotHold) {
    EXPECT_FALSE(SignalCleanup::add("", CleanupKind::file));
    EXPECT_FALSE(SignalCleanup::add(std::string(SignalCleanup::k_path_capacity, 'a'), CleanupKind::file));
    for (std::size_t i = 0; i < SignalCleanup::k_slot_count; ++i) {
        ASSERT_TRUE(SignalCleanup::add("/nonexistent/velmora/" + std::to_string(i), CleanupKind::file));
    }
    EXPECT_FALSE(SignalCleanup::add("/nonexistent/velmora/full", CleanupKind::file));
    EXPECT_TRUE(SignalCleanup::remove("/nonexistent/velmora/3"));
    EXPECT_TRUE(SignalCleanup::add("/nonexistent/velmora/again", CleanupKind::file))
        << "a freed slot is reused";
    SignalCleanup::run_now();
    EXPECT_TRUE(SignalCleanup::add("/nonexistent/velmora/after", CleanupKind::file)) << "run_now empties it";
    SignalCleanup::run_now();
}

// In a forked child, which shares the parent's paths: the signal removes everything recorded and still ends
// the process by that signal.
class SignalCleanupOnSignal : public ::testing::TestWithParam<int> {};

TEST_P(SignalCleanupOnSignal, RemovesAndEndsByTheSameSignal) {
    const TempDirectory base;
    const Made made = make_things(base.path());
    const int signal_number = GetParam();
    EXPECT_EXIT(
        {
            SignalCleanup::install();
            record(made);
            ::raise(signal_number);
            std::_Exit(0);  // not reached: the signal ends the child
        },
        ::testing::KilledBySignal(signal_number), "");
    expect_removed(made);
}

INSTANTIATE_TEST_SUITE_P(Table, SignalCleanupOnSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

TEST(SignalCleanupIgnored, ASignalTheProcessIgnoresStaysIgnored) {
    const TempDirectory base;
    const Made made = make_things(base.path());
    EXPECT_EXIT(
        {
            ::signal(SIGHUP, SIG_IGN);
            SignalCleanup::install();
            record(made);
            ::raise(SIGHUP);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(fs::exists(made.file)) << "nothing removed by an ignored signal";
}

}  // namespace
}  // namespace velmora::platform
