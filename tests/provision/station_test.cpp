// The parts of velmora-provision in-process: one port's station with the test playing the box on a
// pseudo-terminal, and the progress board's terminal rows.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

#include "link/agent/link_frames.h"
#include "tests/host/pseudo_terminal.h"
#include "tests/link/link_fakes.h"
#include "tests/support/temp_directory.h"
#include "tools/velmora-provision/box_log.h"
#include "tools/velmora-provision/port_station.h"
#include "tools/velmora-provision/progress_board.h"

namespace velmora::provision {
namespace {

using namespace std::chrono_literals;

// Generous: the machine may be busy; nothing waits this long when the station works.
constexpr auto k_limit = 30s;
constexpr std::size_t k_client_size = 100;

bool wait_until(const std::function<bool()>& condition) {
    return link_test::wait_until(condition, k_limit);
}

// The box's bytes as the test reads them off the line.
std::string bytes(std::initializer_list<std::uint8_t> values) {
    return {values.begin(), values.end()};
}

class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        client_ = dir_ / "client.bin";
        std::ofstream(client_, std::ios::binary) << std::string(k_client_size, 'C');
        progress_ = std::fopen((dir_ / "progress.txt").c_str(), "w");
        ASSERT_NE(progress_, nullptr);
    }
    void TearDown() override {
        station_.reset();
        board_.reset();
        if (progress_ != nullptr) {
            std::fclose(progress_);
        }
    }

    // The board writes to `out`, by default a file that progress() reads.
    void start(LinkTiming timing, std::FILE* out = nullptr) {
        StationSettings settings;
        settings.port = pty_.slave_path();
        settings.location = pty_.slave_path();
        settings.client = client_;
        settings.client_info.size = k_client_size;
        settings.timing = timing;
        board_ = std::make_unique<ProgressBoard>(std::vector<std::string>{settings.port},
                                                 ProgressStyle::plain, out != nullptr ? out : progress_);
        station_ =
            std::make_unique<PortStation>(0, std::move(settings), *board_, log_, [this] { ended_ = true; });
        station_->start();
    }

    // What the operator has been shown so far.
    std::string progress() const {
        std::ifstream in(dir_ / "progress.txt");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    test::PseudoTerminal pty_;
    velmora::testing::TempDirectory temp_dir;
    std::filesystem::path dir_ = temp_dir.path();
    std::filesystem::path client_;
    std::FILE* progress_ = nullptr;
    BoxLog log_;
    std::unique_ptr<ProgressBoard> board_;
    std::unique_ptr<PortStation> station_;
    std::atomic<bool> ended_{false};
};

// After a failed box the line is the next box's: a sync byte that comes while the station still
// finishes the failed one (here: while the worker takes its time to go idle) gets no answer and no
// client.
TEST_F(StationTest, AFailedBoxAnswersNoStraySyncByte) {
    LinkTiming timing;
    timing.worker_pass_pause = 1500ms;  // the worker goes idle this long after the failure
    timing.client_start_wait = 1ms;
    timing.receipt_reply = k_limit;
    timing.command_result = k_limit;
    start(timing);

    // The box is reset once the station asks for it.
    ASSERT_TRUE(wait_until([this] { return progress().find("Please reset the STB!") != std::string::npos; }));
    pty_.write_master(bytes({k_sync_byte}));
    const std::string answer = pty_.read_master(1, k_limit);
    ASSERT_EQ(answer, bytes({k_sync_answer}));
    ASSERT_EQ(pty_.read_master(k_client_header_size + k_client_size, k_limit).size(),
              k_client_header_size + k_client_size);
    const std::string handshake = pty_.read_master(k_command_overhead + k_handshake_text.size(), k_limit);
    ASSERT_EQ(handshake.size(), k_command_overhead + k_handshake_text.size());
    // Frame taken, then the box reports an error: the handshake fails, and with it the box.
    pty_.write_master(bytes({0, 0, 0, 1, 0, 0}));
    ASSERT_TRUE(wait_until([this] { return log_.tally().boxes == 1; }));
    EXPECT_EQ(log_.tally().failed, 1);

    pty_.write_master(bytes({k_sync_byte}));
    ASSERT_TRUE(wait_until([this] { return ended_.load(); }));
    station_->finish();
    EXPECT_EQ(pty_.read_master(1, 100ms), "") << "the stray sync byte was answered";
}

// An operator (or a jig) who resets the box the very moment the station asks: the box's sync byte
// is on the line, and taken off it by the port, while the station is still printing the prompt.
class EagerOperator {
public:
    explicit EagerOperator(test::PseudoTerminal& pty) : pty_(pty) {
        const cookie_io_functions_t calls{nullptr, &EagerOperator::write, nullptr, nullptr};
        stream_ = ::fopencookie(this, "w", calls);
    }
    ~EagerOperator() {
        if (stream_ != nullptr) {
            std::fclose(stream_);
        }
    }
    EagerOperator(const EagerOperator&) = delete;
    EagerOperator& operator=(const EagerOperator&) = delete;

    std::FILE* stream() const { return stream_; }

private:
    static ssize_t write(void* cookie, const char* data, std::size_t size) {
        auto& self = *static_cast<EagerOperator*>(cookie);
        self.seen_.append(data, size);
        if (!self.reset_ && self.seen_.find("Please reset the STB!") != std::string::npos) {
            self.reset_ = true;
            self.pty_.write_master(bytes({k_sync_byte}));
            // Until the port has read it, and a little longer for the link to hear it.
            wait_until([&self] {
                int queued = 0;
                return ::ioctl(self.pty_.slave_fd(), FIONREAD, &queued) == 0 && queued == 0;
            });
            std::this_thread::sleep_for(k_delivery_time);
        }
        return static_cast<ssize_t>(size);
    }

    static constexpr auto k_delivery_time = 200ms;
    test::PseudoTerminal& pty_;
    std::FILE* stream_ = nullptr;
    std::string seen_;
    bool reset_ = false;
};

// The prompt to reset the box means the station is ready for it: a box reset at once is answered.
TEST_F(StationTest, ASyncByteRightAfterThePromptIsAnswered) {
    EagerOperator operator_at_the_box(pty_);
    ASSERT_NE(operator_at_the_box.stream(), nullptr);
    start(LinkTiming{}, operator_at_the_box.stream());
    EXPECT_EQ(pty_.read_master(1, k_limit), bytes({k_sync_answer}));
    station_->finish();
}

struct RowCase {
    const char* name;
    std::string text;
    std::size_t columns;
    std::string row;
};

void PrintTo(const RowCase& c, std::ostream* os) {
    *os << c.name;
}

class TerminalRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(TerminalRowTest, FitsAndShowsNoControlCharacter) {
    EXPECT_EQ(ProgressBoard::terminal_row(GetParam().text, GetParam().columns), GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TerminalRowTest,
    ::testing::Values(RowCase{"fits", "pts/3  done", 40, "pts/3  done"},
                      RowCase{"cut_at_the_width", "pts/3  failed  Serial port closed", 13, "pts/3  failed"},
                      RowCase{"no_width_no_cut", std::string(300, 'x'), 0, std::string(300, 'x')},
                      RowCase{"controls_as_escapes", "a\x1b[31mb\tc", 0, "a\\x1b[31mb\\x09c"},
                      RowCase{"an_escape_is_cut_like_text", "a\x1b", 3, "a\\x"},
                      RowCase{"characters_not_bytes", "h\xC3\xA9llo w\xC3\xB6rld", 7, "h\xC3\xA9llo w"},
                      RowCase{"bytes_that_are_no_utf8", "\xFF\xFEok", 6, "\\xff\\x"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora::provision
