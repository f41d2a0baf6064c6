#include "script/process_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/platform/temp_drive_root.h"
#include "tests/script/recording_runner.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::RecordingRunner;

constexpr auto k_generous = 10s;

class RecordingNotifier : public ProcessNotifier {
public:
    void notify(std::uint32_t code, std::string_view data) override {
        std::lock_guard lock(mutex_);
        notes_.emplace_back(code, std::string(data));
    }
    std::vector<std::pair<std::uint32_t, std::string>> notes() {
        std::lock_guard lock(mutex_);
        return notes_;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<std::uint32_t, std::string>> notes_;
};

// Keeps every CPU busy while it lives, so that the runner's threads lose the processor at awkward
// moments, as they do when the machine is loaded.
class CpuLoad {
public:
    CpuLoad() {
        const unsigned count = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < count; ++i) {
            threads_.emplace_back([this] { spin(); });
        }
    }
    ~CpuLoad() {
        stop_ = true;
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    void spin() {
        std::uint64_t state = 1;
        while (!stop_.load(std::memory_order_relaxed)) {
            state = state * 6364136223846793005u + 1442695040888963407u;
        }
        sink_ += state;
    }

    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> sink_{0};
    std::vector<std::thread> threads_;
};

bool process_exists(const std::string& pid) {
    return std::filesystem::exists("/proc/" + pid);
}

TEST(ProcessRunner, RunCallsTheHooksInOrderAndEndsItself) {
    RecordingNotifier notifier;
    RecordingRunner runner(&notifier);
    EXPECT_EQ(ProcessRunner::runner_active, 0);
    const std::string command = "sh -c \"echo to-out; echo to-err >&2; exit 4\"";
    ASSERT_TRUE(runner.Start(command, false));
    EXPECT_EQ(runner.started(), std::vector<std::string>{command});

    const auto start = Clock::now();
    EXPECT_TRUE(runner.wait_for_exit(k_generous));
    EXPECT_LT(Clock::now() - start, k_generous / 2) << "returns when the child ends, not at the timeout";
    EXPECT_FALSE(runner.IsRunning());
    ASSERT_TRUE(runner.exited.wait_for(k_generous));
    EXPECT_EQ(runner.output(), "to-out\n");
    EXPECT_EQ(runner.error(), "to-err\n");
    EXPECT_EQ(runner.exited_count(), 1);
    EXPECT_EQ(ProcessRunner::runner_active, 0) << "the waiter clears it when the child ends";

    runner.Stop();
    EXPECT_EQ(runner.exited_count(), 1) << "a run ends once";
    const std::string with_terminator(command.c_str(), command.size() + 1);
    const std::vector<std::pair<std::uint32_t, std::string>> expected{
        {k_runner_started_code, with_terminator}, {k_runner_exited_code, ""}};
    EXPECT_EQ(notifier.notes(), expected);
}

// A child that ends at once must still be reported as started first, also when the CPUs are busy
// and when whoever hears of the start is slow: the notifier must never see 4003 before 4002.
TEST(ProcessRunner, EveryRunIsReportedStartedBeforeItsOutputAndItsEndUnderLoad) {
    struct QuickChild {
        std::string command;
        std::string output;
        std::string error;
    };
    const QuickChild children[] = {
        {"true", "", ""},
        {"false", "", ""},
        {"echo quick", "quick\n", ""},
        {"sh -c \"echo out; echo err >&2; exit 3\"", "out\n", "err\n"},
    };
    constexpr int k_rounds = 25;
    constexpr std::chrono::milliseconds k_slow_start_receiver{2};
    const CpuLoad load;
    for (int round = 0; round < k_rounds; ++round) {
        for (const std::chrono::milliseconds started_delay : {0ms, k_slow_start_receiver}) {
            for (const QuickChild& child : children) {
                SCOPED_TRACE(child.command + ", round " + std::to_string(round) + ", start receiver delay " +
                             std::to_string(started_delay.count()) + " ms");
                RecordingNotifier notifier;
                RecordingRunner runner(&notifier);
                runner.started_delay = started_delay;
                ASSERT_TRUE(runner.Start(child.command, false));
                ASSERT_TRUE(runner.exited.wait_for(k_generous));
                runner.Stop();

                const std::vector<std::string> hooks = runner.hooks();
                ASSERT_FALSE(hooks.empty());
                EXPECT_EQ(hooks.front(), "started");
                EXPECT_EQ(hooks.back(), "exited");
                EXPECT_EQ(std::count(hooks.begin(), hooks.end(), "started"), 1);
                EXPECT_EQ(std::count(hooks.begin(), hooks.end(), "exited"), 1);
                EXPECT_EQ(runner.output(), child.output);
                EXPECT_EQ(runner.error(), child.error);
                const std::vector<std::pair<std::uint32_t, std::string>> expected{
                    {k_runner_started_code, std::string(child.command.c_str(), child.command.size() + 1)},
                    {k_runner_exited_code, ""}};
                EXPECT_EQ(notifier.notes(), expected);
                if (HasFailure()) {
                    return;  // one run in the wrong order says it all
                }
            }
        }
    }
}

TEST(ProcessRunner, AChattyChildIsDrainedInSmallChunksBeforeItsEndIsReported) {
    constexpr std::size_t k_bytes = 2'000'000;
    RecordingRunner runner;
    const std::string count = std::to_string(k_bytes);
    ASSERT_TRUE(runner.Start(
        "sh -c \"yes out | head -c " + count + " & yes err | head -c " + count + " >&2; wait\"", true));
    ASSERT_TRUE(runner.exited.wait_for(k_generous));
    EXPECT_EQ(runner.sizes_at_exit(), std::make_pair(k_bytes, k_bytes));
    EXPECT_LE(runner.largest_chunk(), ProcessRunner::k_read_chunk);
    EXPECT_GT(runner.largest_chunk(), 0u);
}

TEST(ProcessRunner, OutputLeftInThePipeWhenTheChildEndsIsStillDelivered) {
    // The child fills most of the pipe and ends at once; the slow reader is still far behind when
    // the waiter sees the end.
    constexpr std::size_t k_bytes = 48'000;
    RecordingRunner runner;
    runner.output_delay = 1ms;
    ASSERT_TRUE(runner.Start("head -c " + std::to_string(k_bytes) + " /dev/zero", false));
    ASSERT_TRUE(runner.exited.wait_for(k_generous));
    EXPECT_EQ(runner.sizes_at_exit().first, k_bytes);
}

TEST(ProcessRunner, StopEndsALongRunningChildPromptly) {
    RecordingRunner runner;
    ASSERT_TRUE(runner.Start("sh -c \"echo $$; exec sleep 30\"", false));
    // The pid arrives through the reader; wait for the whole line.
    const auto deadline = Clock::now() + k_generous;
    while (runner.output().find('\n') == std::string::npos && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    const std::string pid = runner.output().substr(0, runner.output().find('\n'));
    ASSERT_FALSE(pid.empty());
    EXPECT_TRUE(runner.IsRunning());
    EXPECT_FALSE(runner.wait_for_exit(20ms));

    const auto start = Clock::now();
    runner.Stop();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_FALSE(process_exists(pid)) << "killed and reaped";
    EXPECT_EQ(runner.exited_count(), 1);
    EXPECT_EQ(ProcessRunner::runner_active, 0);
    runner.Stop();  // again: nothing left to do
}

TEST(ProcessRunner, StopWakesReadersWhoseStreamOutlivesTheChild) {
    RecordingRunner runner;
    // The child ends at once, but what it left in the background keeps both streams open.
    ASSERT_TRUE(runner.Start("sh -c \"sleep 30 & echo $!\"", false));
    EXPECT_TRUE(runner.wait_for_exit(k_generous));
    // The waiter gives up waiting for the streams after its drain limit and reports the end.
    ASSERT_TRUE(runner.exited.wait_for(k_generous));
    const std::string output = runner.output();
    const std::string background = output.substr(0, output.find('\n'));
    ASSERT_FALSE(background.empty());

    const auto start = Clock::now();
    runner.Stop();
    EXPECT_LT(Clock::now() - start, 1s);
    // Reparented once our child is reaped, so wait for init to collect it.
    const auto deadline = Clock::now() + k_generous;
    while (process_exists(background) && Clock::now() < deadline) {
        std::ifstream stat("/proc/" + background + "/stat");
        std::string line;
        std::getline(stat, line);
        if (line.find(") Z") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_LT(Clock::now(), deadline) << "the background process was left running";
}

TEST(ProcessRunner, FailedStartReportsThroughOnOutput) {
    const testing::TempDriveRoot drives;
    RecordingNotifier notifier;
    RecordingRunner runner(&notifier);
    const std::string command = "velmora-no-such-program.exe -d D:\\tmp\\script-kv.cfg.gz";
    EXPECT_FALSE(runner.Start(command, false));
    EXPECT_EQ(runner.output(), "Unable to start " + command + "\n");
    EXPECT_TRUE(runner.started().empty());
    EXPECT_FALSE(runner.IsRunning());
    const auto start = Clock::now();
    EXPECT_TRUE(runner.wait_for_exit(k_generous));
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_TRUE(notifier.notes().empty());
    EXPECT_EQ(ProcessRunner::runner_active, 0);
}

TEST(ProcessRunner, ANewStartReleasesTheEarlierRun) {
    RecordingRunner runner;
    ASSERT_TRUE(runner.Start("sleep 30", false));
    EXPECT_TRUE(runner.IsRunning());
    ASSERT_TRUE(runner.Start("echo again", false));
    EXPECT_TRUE(runner.wait_for_exit(k_generous));
    const auto deadline = Clock::now() + k_generous;
    while (runner.exited_count() < 2 && Clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(runner.exited_count(), 2);
    EXPECT_EQ(runner.output(), "again\n");
}

TEST(ProcessRunner, ConstructorClearsTheSharedFlag) {
    RecordingRunner runner;
    ASSERT_TRUE(runner.Start("sleep 30", false));
    EXPECT_EQ(ProcessRunner::runner_active, 1);
    {
        // A second runner clears the one flag every runner shares; the first run's waiter then
        // ends, but its child is still running and still seen as such.
        const ProcessRunner other;
        EXPECT_EQ(ProcessRunner::runner_active, 0);
    }
    ASSERT_TRUE(runner.exited.wait_for(k_generous));
    EXPECT_TRUE(runner.IsRunning());
    const auto start = Clock::now();
    runner.Stop();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_FALSE(runner.IsRunning());
}

}  // namespace
}  // namespace velmora
