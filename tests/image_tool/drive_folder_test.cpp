// Each run's drive folder, interrupted runs, and paths that the user types, through the real program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/image_tool/tool_fixture.h"

extern char** environ;

namespace velmora {
namespace {

constexpr mode_t k_permission_bits = 07777;

mode_t mode_of(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & k_permission_bits;
}

std::vector<fs::path> entries_of(const fs::path& folder) {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(folder)) {
        entries.push_back(entry.path());
    }
    return entries;
}

// The program started with extra environment entries, its output thrown away, so the test can stop,
// signal and wait for it itself.
class Spawned {
public:
    Spawned(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
        std::vector<std::string> env_text = environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            env_text.emplace_back(*entry);  // ours come first, so they win
        }
        std::vector<char*> argv{const_cast<char*>(VELMORA_IMAGE_TOOL)};
        std::vector<std::string> args = arguments;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : env_text) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        EXPECT_EQ(::posix_spawn(&pid_, VELMORA_IMAGE_TOOL, &actions, nullptr, argv.data(), envp.data()), 0);
        ::posix_spawn_file_actions_destroy(&actions);
    }
    ~Spawned() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    // Waits until the program has stopped itself (or ended); true when it stopped.
    bool wait_stopped() {
        int status = 0;
        while (::waitpid(pid_, &status, WUNTRACED) < 0 && errno == EINTR) {
        }
        if (WIFSTOPPED(status)) {
            return true;
        }
        reaped_ = true;
        return false;
    }
    void signal(int signal_number) const { ::kill(pid_, signal_number); }
    // Resumes it and waits for its end; the raw wait status.
    int finish() {
        ::kill(pid_, SIGCONT);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        reaped_ = true;
        return status;
    }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

class DriveFolderTest : public VelmoraImageTest {
protected:
    fs::path folder(const std::string& name) const {
        fs::create_directory(dir_ / name);
        return dir_ / name;
    }
};

// Stopped right after the temporary output is made, then interrupted: neither the temporary beside
// OUT nor the drive folder stays, and OUT keeps its old bytes.
class InterruptedGenerate : public DriveFolderTest, public ::testing::WithParamInterface<int> {};

TEST_P(InterruptedGenerate, LeavesNothingBehind) {
    const fs::path tmp = folder("tmp");
    const fs::path out_dir = folder("out");
    const fs::path out = out_dir / "new.bin";
    std::ofstream(out) << "old image";

    Spawned tool({"generate", sample_, "-o", out.string()},
                 {"TMPDIR=" + tmp.string(), "VELMORA_STOP_AT_REGISTRATION=.tmp"});
    ASSERT_TRUE(tool.wait_stopped()) << "the program never made its temporary output";
    EXPECT_EQ(entries_of(out_dir).size(), 2u) << "OUT and its temporary";
    EXPECT_EQ(entries_of(tmp).size(), 1u) << "the run's drive folder";

    tool.signal(GetParam());
    const int status = tool.finish();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), GetParam()) << "ended by the signal it was sent";
    EXPECT_EQ(entries_of(out_dir), std::vector<fs::path>{out});
    EXPECT_EQ(slurp(out), "old image");
    EXPECT_TRUE(fs::is_empty(tmp));
}

INSTANTIATE_TEST_SUITE_P(Table, InterruptedGenerate, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return std::string(::sigabbrev_np(info.param)); });

// Two runs side by side, each stopped once its drive folder exists: the folders differ, and the
// shared folder they were made in keeps its mode.
struct SharedCase {
    const char* variable;
    mode_t mode;
};

class ParallelRuns : public DriveFolderTest, public ::testing::WithParamInterface<SharedCase> {};

TEST_P(ParallelRuns, NeverShareADriveFolder) {
    const fs::path shared = folder("shared");
    ASSERT_EQ(::chmod(shared.c_str(), GetParam().mode), 0);
    const std::vector<std::string> env{std::string(GetParam().variable) + "=" + shared.string(),
                                       "VELMORA_STOP_AT_REGISTRATION=velmora-drives"};
    Spawned first({"dump", sample_}, env);
    Spawned second({"dump", sample_}, env);
    ASSERT_TRUE(first.wait_stopped());
    ASSERT_TRUE(second.wait_stopped());

    const std::vector<fs::path> folders = entries_of(shared);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_NE(folders[0], folders[1]);
    for (const fs::path& f : folders) {
        EXPECT_EQ(mode_of(f), 0700u) << f;
    }
    const int first_status = first.finish();
    const int second_status = second.finish();
    EXPECT_TRUE(WIFEXITED(first_status) && WEXITSTATUS(first_status) == 0) << first_status;
    EXPECT_TRUE(WIFEXITED(second_status) && WEXITSTATUS(second_status) == 0) << second_status;
    EXPECT_TRUE(fs::is_empty(shared)) << "each run removes its own folder";
    EXPECT_EQ(mode_of(shared), GetParam().mode) << "a folder the user named is never changed";
}

INSTANTIATE_TEST_SUITE_P(Table, ParallelRuns,
                         ::testing::Values(SharedCase{"VELMORA_DRIVE_ROOT", 01777},
                                           SharedCase{"VELMORA_DRIVE_ROOT", 0755},
                                           SharedCase{"TMPDIR", 01777}),
                         [](const auto& info) {
                             return std::string(info.param.variable) + "_" + std::to_string(info.index);
                         });

// With no private folder to be had, the run says where and why instead of blaming the image's
// script; sample needs no folder and still works.
TEST_F(DriveFolderTest, SaysWhyWhenNoPrivateFolderCanBeMade) {
    const fs::path a_file = dir_ / "a_file";
    std::ofstream(a_file) << "x";
    const fs::path open_to_all = folder("open_to_all");
    ASSERT_EQ(::chmod(open_to_all.c_str(), 0777), 0);
    struct Case {
        std::string env;
        std::string message;
    };
    const Case cases[] = {
        {"TMPDIR=" + (dir_ / "missing").string(), "velmora-image: cannot make a private drive folder in " +
                                                      (dir_ / "missing").string() +
                                                      ": No such file or directory\n"},
        {"TMPDIR=" + a_file.string(), "velmora-image: cannot make a private drive folder in " +
                                          a_file.string() + ": it is not a folder\n"},
        {"VELMORA_DRIVE_ROOT=" + open_to_all.string(),
         "velmora-image: cannot make a private drive folder in " + open_to_all.string() +
             ": others may write to it and it has no sticky bit\n"},
    };
    for (const Case& c : cases) {
        for (const std::string command : {"dump ", "info ", "verify ", "generate -o out.bin "}) {
            const ToolRun r = run(command + sample_, c.env);
            EXPECT_EQ(r.status, 1) << c.env << command;
            EXPECT_EQ(r.err, c.message) << c.env << command;
            EXPECT_EQ(r.err.find("script error"), std::string::npos);
        }
        EXPECT_EQ(run("sample -o " + (dir_ / "again.bin").string(), c.env).status, 0) << c.env;
    }
    EXPECT_TRUE(fs::is_empty(open_to_all));
    EXPECT_EQ(mode_of(open_to_all), 0777u);
}

// What the user types is a path of this machine, used as it is, even when it reads like a drive
// path: c:/x is the file x in the folder "c:" below the current folder.
TEST_F(DriveFolderTest, PathsTheUserGivesAreNeverMapped) {
    const fs::path cwd = folder("cwd");
    fs::create_directories(cwd / "c:");
    fs::create_directories(cwd / "d:" / "tmp");
    const fs::path drives = folder("drives");
    const std::string in_cwd = "cd '" + cwd.string() + "' && VELMORA_DRIVE_ROOT='" + drives.string() + "'";
    const char* const typed[] = {"c:/x.bin", "C:\\x.bin", "d:/tmp/x.bin"};
    for (const std::string path : typed) {
        const std::string quoted = "'" + path + "'";
        const fs::path literal = cwd / fs::path(path);
        ToolRun r = run("sample -o " + quoted, in_cwd);
        ASSERT_EQ(r.status, 0) << path << r.err;
        ASSERT_TRUE(fs::is_regular_file(literal)) << path;
        EXPECT_EQ(slurp(literal), slurp(sample_)) << path;

        r = run("generate " + quoted + " -o " + quoted + " --sync", in_cwd);
        EXPECT_EQ(r.status, 0) << path << r.err;
        EXPECT_EQ(r.out, "Save Data Success!\n") << path << r.err;
        EXPECT_TRUE(fs::is_regular_file(literal)) << path;

        r = run("dump --json " + quoted, in_cwd);
        EXPECT_EQ(r.status, 0) << path << r.err;
        EXPECT_NE(r.out.find("\"script_status\": 0"), std::string::npos) << "the system's own D:\\tmp maps";
    }
    EXPECT_TRUE(fs::is_empty(drives)) << "nothing the user typed went under the drives";
}

}  // namespace
}  // namespace velmora
