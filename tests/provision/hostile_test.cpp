// velmora-provision against what a line PC meets: standard streams closed at start, a reader that
// goes away, a full disk under the log, files that are no regular files, one device under two names,
// and ports that never open. Nothing is lost and nothing is reported as a success that was not.
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include "platform/unique_fd.h"
#include "tests/provision/provision_fixture.h"

namespace velmora::provision::test {
namespace {

// The standard streams of a run: a file of the test's, or closed.
struct StreamCase {
    const char* name;
    bool stdin_closed;
    bool stdout_closed;
    bool stderr_closed;
    std::vector<std::string> options;
};

class ProvisionStreamTest : public ProvisionTest, public ::testing::WithParamInterface<StreamCase> {};

// A closed descriptor must not be taken by the log (or a port), or the log gets the progress lines.
TEST_P(ProvisionStreamTest, ClosedStandardStreamsLeaveTheLogAlone) {
    const StreamCase& c = GetParam();
    const std::string line = add_box({"--baud", "0", "--reset-after", "1"});
    ASSERT_FALSE(line.empty());
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--port", line});
    const fs::path out = out_path();
    const fs::path err_file = err_path();
    const std::pair<int, bool> closed_streams[] = {
        {STDIN_FILENO, c.stdin_closed}, {STDOUT_FILENO, c.stdout_closed}, {STDERR_FILENO, c.stderr_closed}};
    const StreamSetup streams = [&](posix_spawn_file_actions_t* actions) {
        stream_files(out, err_file)(actions);
        for (const auto& [fd, closed] : closed_streams) {
            if (closed) {
                ::posix_spawn_file_actions_addclose(actions, fd);
            }
        }
    };
    ProvisionProcess run(with_inputs(args), out, streams);
    EXPECT_EQ(run.wait_exit(), 0) << err();

    std::istringstream log(slurp(log_));
    std::vector<std::string> types;
    for (std::string text; std::getline(log, text);) {
        const nlohmann::json entry = nlohmann::json::parse(text, nullptr, false);
        ASSERT_FALSE(entry.is_discarded()) << "not a log line: " << text;
        types.push_back(entry.value("type", std::string("(no type)")));
    }
    EXPECT_EQ(types, (std::vector<std::string>{"box", "summary"})) << slurp(log_);
    EXPECT_EQ(bytes_of(records_[0] / "block.bin"), expected_block(""));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ProvisionStreamTest,
    ::testing::Values(StreamCase{"stdout_closed", false, true, false, {}},
                      StreamCase{"stdout_and_stderr_closed_json", false, true, true, {"--json"}},
                      StreamCase{"stdin_closed", true, false, false, {}},
                      StreamCase{"all_closed", true, true, true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// `velmora-provision ... | head -c 10`: the reader goes away in the middle of a box. The run must not
// die of SIGPIPE with the box half done; it ends as on SIGTERM, and the log keeps the box.
TEST_F(ProvisionTest, AReaderThatGoesAwayEndsTheRunWithTheBoxLogged) {
    const std::string line = add_box({"--baud", "0", "--reset-after", "1"});
    ASSERT_FALSE(line.empty());
    int pipe_ends[2];
    ASSERT_EQ(::pipe2(pipe_ends, O_CLOEXEC), 0);
    platform::UniqueFd reader(pipe_ends[0]);
    platform::UniqueFd writer(pipe_ends[1]);
    const fs::path err_file = err_path();
    const int write_end = writer.get();
    const StreamSetup streams = [&](posix_spawn_file_actions_t* actions) {
        ::posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_adddup2(actions, write_end, STDOUT_FILENO);
        ::posix_spawn_file_actions_addopen(actions, STDERR_FILENO, err_file.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600);
    };
    ProvisionProcess run(with_inputs({"--port", line}), out_path(), streams);
    writer.reset();

    // Read as a pager does until the box has begun, then stop reading for good.
    std::string seen;
    const auto give_up = std::chrono::steady_clock::now() + k_run_limit;
    while (seen.find("Got sync byte!") == std::string::npos && std::chrono::steady_clock::now() < give_up) {
        pollfd ready{reader.get(), POLLIN, 0};
        char buffer[256];
        if (::poll(&ready, 1, static_cast<int>(k_watch_poll.count())) == 1) {
            const ssize_t got = ::read(reader.get(), buffer, sizeof buffer);
            ASSERT_GT(got, 0) << "the output ended before the box began: " << seen;
            seen.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ASSERT_NE(seen.find("Got sync byte!"), std::string::npos) << seen;
    reader.reset();

    EXPECT_EQ(run.wait_exit(), 1) << err();
    EXPECT_NE(err().find("velmora-provision: cannot write the progress output: Broken pipe"),
              std::string::npos)
        << err();
    const std::vector<nlohmann::json> lines = log_lines();
    ASSERT_EQ(lines.size(), 2u) << slurp(log_);
    EXPECT_EQ(lines[0].at("type"), "box");
    EXPECT_NE(lines[0].at("result"), "done") << "the box cannot have ended before the output failed";
    EXPECT_EQ(lines[1].at("type"), "summary");
}

// A disk that fills under the log: the box's line does not fit. It must not stay in the log cut in
// the middle (the next run's line would be glued onto it), and the run must not exit 0. The file size
// limit stands in for a full disk: the write stops short at the same place.
TEST_F(ProvisionTest, ALogThatCannotTakeALineKeepsOnlyWholeLinesAndFailsTheRun) {
    const std::string line = add_box({"--baud", "0", "--reset-after", "1"});
    ASSERT_FALSE(line.empty());
    // Lines of earlier runs, so the limit lies well beyond what the progress output writes.
    std::string earlier;
    while (earlier.size() < 16 * 1024) {
        earlier += R"({"average_seconds":3.9,"boxes":2,"done":2,"failed":0,"type":"summary"})"
                   "\n";
    }
    std::ofstream(log_, std::ios::binary) << earlier;
    const std::string limit = "--fsize=" + std::to_string(earlier.size() + 100);

    ProvisionProcess run(with_inputs({"--port", line}), out_path(), stream_files(out_path(), err_path()),
                         {"prlimit", limit, "--"});
    EXPECT_EQ(run.wait_exit(), 1) << out() << err();
    EXPECT_NE(err().find("velmora-provision: cannot write the log " + log_ + ": no room for a whole line"),
              std::string::npos)
        << err();
    EXPECT_EQ(slurp(log_), earlier) << "the cut line is taken out again, and nothing is written after it";
}

// A FIFO, a directory or a device where a regular file belongs: refused at once, saying what it is,
// before any port is touched (a FIFO without a writer or reader would hold the run for ever).
TEST_F(ProvisionTest, FilesThatAreNoRegularFilesAreRefusedWithoutWaiting) {
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path folder = dir_ / "folder";
    fs::create_directory(folder);
    struct Case {
        const char* option;
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {"--client", fifo.string(), "the client file " + fifo.string() + " is a FIFO, not a regular file"},
        {"--client", folder.string(),
         "the client file " + folder.string() + " is a directory, not a regular file"},
        {"--client", "/dev/null", "the client file /dev/null is a character device, not a regular file"},
        {"--log", fifo.string(), "the log " + fifo.string() + " is a FIFO, not a regular file"},
        {"--log", folder.string(), "the log " + folder.string() + " is a directory, not a regular file"},
        {"--log", "/dev/full", "the log /dev/full is a character device, not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.path);
        std::vector<std::string> args = {"--port", "/dev/null", "--image", sample_, "--client", client_};
        if (std::string(c.option) == "--client") {
            args.back() = c.path;
        } else {
            args.insert(args.end(), {"--log", c.path});
        }
        ProvisionProcess run(args, out_path(), err_path());
        EXPECT_EQ(run.wait_exit(), 2);
        EXPECT_NE(err().find("velmora-provision: " + c.message), std::string::npos) << err();
        EXPECT_EQ(out().find("Please reset the STB!"), std::string::npos);
    }
}

// One line under two names would have two stations eat each other's bytes.
TEST_F(ProvisionTest, OneDeviceUnderTwoNamesIsRefusedBeforeAnyBox) {
    const std::string line = add_box({"--baud", "0"});
    ASSERT_TRUE(line.starts_with("/dev/")) << line;
    const fs::path link = dir_ / "station-1";
    const fs::path other_link = dir_ / "station-2";
    fs::create_symlink(line, link);
    fs::create_symlink(line, other_link);
    const std::vector<std::pair<std::string, std::string>> cases{
        {line, link.string()},
        {link.string(), other_link.string()},
        {line.substr(std::string("/dev/").size()), line},
        {line, line},
    };
    for (const auto& [first, second] : cases) {
        SCOPED_TRACE(first + " and " + second);
        ProvisionProcess run(with_inputs({"--port", first, "--port", second}), out_path(), err_path());
        EXPECT_EQ(run.wait_exit(), 2);
        const std::string said = err();
        EXPECT_TRUE(said.find("are one device") != std::string::npos ||
                    said.find("is named twice") != std::string::npos)
            << said;
        EXPECT_EQ(out().find("Please reset the STB!"), std::string::npos);
    }
}

// A port that never opened served no box: a run with nothing done is then no success.
TEST_F(ProvisionTest, APortThatNeverOpensIsNoSuccess) {
    const std::string name = "velmora-no-such-port-" + std::to_string(::getpid());
    {
        SCOPED_TRACE("--repeat, stopped while the port is still away");
        auto run = provision({"--port", name, "--repeat"});
        ASSERT_TRUE(run->watch([](const std::string& text) {
            return text.find("  absent ") != std::string::npos;
        })) << out();
        run->signal(SIGTERM);
        EXPECT_EQ(run->wait_exit(), 1) << out() << err();
        EXPECT_NE(err().find("the port " + name + " never opened"), std::string::npos) << err();
        EXPECT_NE(out().find("/dev/" + name), std::string::npos) << "the path looked at is named: " << out();
    }
    {
        SCOPED_TRACE("one box, its port cannot be opened");
        auto run = provision({"--port", name});
        EXPECT_EQ(run->wait_exit(), 1) << out() << err();
        EXPECT_NE(out().find("  absent "), std::string::npos) << out();
        const std::vector<nlohmann::json> lines = log_lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(lines.back().dump().find("\"failed\":1"), std::string::npos) << slurp(log_);
    }
}

// The box stops acknowledging the block: the failure is the upload's, and shows as such.
TEST_F(ProvisionTest, AFailedUploadShowsInTheUploadingPhase) {
    constexpr int k_bytes_before_block_ack = 1 + 3 + 3 + 15 + 3 + 3;
    const std::string line = add_box({"--baud", "0", "--reset-after", "1", "--fault",
                                      "silent-after=" + std::to_string(k_bytes_before_block_ack)});
    ASSERT_FALSE(line.empty());
    auto run = provision({"--port", line});
    EXPECT_EQ(run->wait_exit(), 1) << out() << err();
    const std::string output = out();
    std::istringstream lines(output);
    std::string box_line;
    for (std::string text; std::getline(lines, text);) {
        if (text.find("Connection error! retry or not?") != std::string::npos) {
            box_line = text;
        }
    }
    EXPECT_NE(box_line.find("  uploading "), std::string::npos) << output;
    EXPECT_NE(output.find("  failed "), std::string::npos) << output;
}

// On a terminal the board is redrawn in place; a row wider than the terminal would wrap and smear it.
TEST_F(ProvisionTest, TheBoardFitsTheTerminalsWidth) {
    constexpr unsigned short k_columns = 40;
    const std::string good = add_box({"--baud", "0", "--reset-after", "1"});
    ASSERT_FALSE(good.empty());
    // Its row is short of the width until the long reason why it cannot be opened.
    const std::string missing = "no-port-" + std::to_string(::getpid());
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = k_columns;
    size.ws_row = 24;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
    platform::UniqueFd master_end(master);
    platform::UniqueFd slave_end(slave);
    const fs::path err_file = err_path();
    const StreamSetup streams = [&](posix_spawn_file_actions_t* actions) {
        ::posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_adddup2(actions, slave, STDOUT_FILENO);
        ::posix_spawn_file_actions_addopen(actions, STDERR_FILENO, err_file.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600);
    };
    ProvisionProcess run(with_inputs({"--port", good, "--port", missing}), out_path(), streams);
    slave_end.reset();

    // The terminal's side: read until the program has closed it.
    std::string screen;
    const auto give_up = std::chrono::steady_clock::now() + k_run_limit;
    while (std::chrono::steady_clock::now() < give_up) {
        pollfd ready{master, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(k_watch_poll.count())) != 1) {
            continue;
        }
        char buffer[1024];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0) {
            break;  // EIO: every writer of the terminal has gone
        }
        screen.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(run.wait_exit(), 1) << err();
    ASSERT_NE(screen.find("absent"), std::string::npos) << screen;

    // Each row as the terminal shows it: control sequences and carriage returns take no room.
    std::istringstream rows(screen);
    int rows_seen = 0;
    for (std::string row; std::getline(rows, row);) {
        std::string shown;
        for (std::size_t at = 0; at < row.size(); ++at) {
            if (row[at] == '\x1b') {
                at = row.find_first_of("AK", at);  // the board's own: cursor up, erase line
                if (at == std::string::npos) {
                    break;
                }
            } else if (row[at] != '\r') {
                shown += row[at];
            }
        }
        if (shown.starts_with("boxes ")) {
            continue;  // the summary below the board: nothing is drawn over it
        }
        ++rows_seen;
        EXPECT_LE(shown.size(), k_columns) << shown;
    }
    EXPECT_GT(rows_seen, 2);
}

}  // namespace
}  // namespace velmora::provision::test
