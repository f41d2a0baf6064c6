// How much `velmora-image verify` and `info` cost on a 64 MiB image beside merely reading the file
// (`cat FILE > /dev/null`), and `generate` beside copying it (`cp`), all run as whole processes on a
// warm cache. The loader reads only the directories and the records, and generate copies the rest
// inside the kernel, so each ratio should stay at or below 1.5; generate's fixed cost of unpacking
// the key script is measured on the small sample and shown apart. Then the peak memory of verify,
// dump and generate on a 1 GiB image (goal: under 32 MB, whatever the image's size; the bench's own
// few MB count in, as a child's peak includes its parent's at the spawn), how long a
// 1 GiB file that is no image takes to be refused (only directory A's search window is read) beside
// reading it whole, and a crafted 64 MiB image whose 60 records of directory A each cover nearly all
// of it: verify and generate take every CRC in one pass over the bytes the records cover, so they
// cost one read of the image beside cat, not 60.
//
// Given another velmora-image (an older build), every figure is shown for both, side by side.
//
//   bench_image_bench [RUNS] [OTHER_VELMORA_IMAGE]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "config/byte_order.h"
#include "config/config_block.h"
#include "config/record_directory.h"

extern char** environ;

namespace {

constexpr std::size_t k_image_size = 64u << 20;
constexpr std::uintmax_t k_huge_size = std::uintmax_t{1} << 30;

struct Run {
    double ms = 0;
    double peak_mb = 0;  // the process's peak resident memory
};

Run run_once(const std::vector<std::string>& argv, int expected_status = 0) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "cannot run %s\n", args[0]);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expected_status) {
        std::fprintf(stderr, "%s failed\n", args[0]);
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(),
            static_cast<double>(usage.ru_maxrss) / 1024};
}

double median_ms(const std::vector<std::string>& argv, int runs, int expected_status = 0) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run_once(argv, expected_status).ms);
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Appends erased flash (0xFF) to `path` up to `size` bytes, a piece at a time.
void erase_up_to(const std::string& path, std::uintmax_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    const std::vector<char> erased(1 << 20, static_cast<char>(0xFF));
    for (std::uintmax_t at = std::filesystem::file_size(path); at < size; at += erased.size()) {
        out.write(erased.data(),
                  static_cast<std::streamsize>(std::min<std::uintmax_t>(erased.size(), size - at)));
    }
}

// Directory A at 0x40 with 60 main records from 0x1000 to (nearly) the end, directory B empty, the
// rest erased flash. Written in pieces: a child's peak memory counts its parent's at the spawn, so the
// bench itself stays small.
void write_crafted_image(const std::string& path) {
    constexpr std::size_t k_a = 0x40;
    constexpr std::uint32_t k_data = 0x1000;
    constexpr std::uint16_t k_records = 60;
    std::vector<std::uint8_t> head(0x10000 + k_data, 0xFF);
    const auto put = [&](std::size_t at, std::uint64_t value, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) {
            head[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    for (const std::size_t at : {k_a, std::size_t{0x10000}}) {
        std::copy(velmora::k_directory_marker.begin(), velmora::k_directory_marker.end(), head.begin() + at);
        put(at + velmora::k_entry_count_offset, at == k_a ? k_records : 0, 2);
        put(at + velmora::k_entry_size_offset, velmora::k_entry_stride, 2);
    }
    for (std::size_t i = 0; i < k_records; ++i) {
        const std::size_t entry = k_a + velmora::k_entries_offset + i * velmora::k_entry_stride;
        std::fill_n(head.begin() + static_cast<std::ptrdiff_t>(entry), velmora::k_entry_stride, 0);
        head[entry] = velmora::TAG_MAIN;
        put(entry + velmora::k_entry_data_offset, k_data, 4);
        put(entry + velmora::k_entry_length_offset, k_image_size - k_a - k_data - i, 4);
    }
    // The records' block: zeros, which every page accepts, so generate gets past the pages' checks.
    std::fill_n(head.begin() + k_data, velmora::k_main_record.length, 0);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    erase_up_to(path, k_image_size);
}

// The figures of one velmora-image.
struct ToolFigures {
    double verify = 0;
    double info = 0;
    double generate = 0;
    double unpack = 0;
    double verify_peak = 0;
    double dump_peak = 0;
    double generate_peak = 0;
    double refuse = 0;
    double crafted_verify = 0;
    double crafted_generate = 0;
};

struct Files {
    std::string image;
    std::string small;
    std::string copy;
    std::string generated;
    std::string huge;
    std::string not_image;
    std::string crafted;
};

ToolFigures measure(const std::string& tool, const Files& f, int runs) {
    ToolFigures t;
    t.verify = median_ms({tool, "verify", f.image}, runs);
    t.info = median_ms({tool, "info", f.image}, runs);
    t.generate = median_ms({tool, "generate", f.image, "-o", f.generated}, runs);
    t.unpack = median_ms({tool, "generate", f.small, "-o", f.generated}, runs) -
               median_ms({"cp", f.small, f.copy}, runs);
    t.verify_peak = run_once({tool, "verify", f.huge}).peak_mb;
    t.dump_peak = run_once({tool, "dump", f.huge}).peak_mb;
    t.generate_peak = run_once({tool, "generate", f.huge, "-o", f.generated}).peak_mb;
    std::filesystem::remove(f.generated);
    t.refuse = median_ms({tool, "verify", f.not_image}, runs, 1);
    t.crafted_verify = median_ms({tool, "verify", f.crafted}, runs);
    t.crafted_generate = median_ms({tool, "generate", f.crafted, "-o", f.generated}, runs);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const std::string other = argc > 2 ? argv[2] : "";
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    Files f;
    f.image = (dir / "image64.bin").string();
    f.small = (dir / "sample.bin").string();
    f.copy = (dir / "copy.bin").string();
    f.generated = (dir / "generated.bin").string();
    f.huge = (dir / "image1g.bin").string();
    f.not_image = (dir / "not-an-image.bin").string();
    f.crafted = (dir / "crafted64.bin").string();

    // The sample image, then erased flash up to 64 MiB.
    run_once({VELMORA_IMAGE_TOOL, "sample", "-o", f.image});
    run_once({VELMORA_IMAGE_TOOL, "sample", "-o", f.small});
    erase_up_to(f.image, k_image_size);
    // The sample grown to 1 GiB without writing (sparse, so it costs no disk), and a file that is no
    // image; `verify` refuses the second with "Wrong binary file!" (exit 1).
    std::filesystem::copy_file(f.small, f.huge);
    std::filesystem::resize_file(f.huge, k_huge_size);
    std::ofstream(f.not_image, std::ios::binary).close();
    std::filesystem::resize_file(f.not_image, k_huge_size);
    write_crafted_image(f.crafted);
    run_once({VELMORA_IMAGE_TOOL, "generate", f.crafted, "-o", f.crafted});  // stored CRCs that match
    run_once({"cat", f.image});                                              // warm the cache

    const double cat = median_ms({"cat", f.image}, runs);
    const double cp = median_ms({"cp", f.image, f.copy}, runs);
    const double cat_crafted = median_ms({"cat", f.crafted}, runs);
    const double read_huge = median_ms({"cat", f.not_image}, std::min(runs, 3));
    std::vector<std::pair<std::string, ToolFigures>> tools = {
        {"this build", measure(VELMORA_IMAGE_TOOL, f, runs)}};
    if (!other.empty()) {
        tools.emplace_back(other, measure(other, f, runs));
    }

    const auto row = [&](const char* what, double reference, double ToolFigures::*figure, const char* unit) {
        std::printf("  %-34s", what);
        for (const auto& [name, t] : tools) {
            if (reference > 0) {
                std::printf(" %9.2f %s (%5.2fx)", t.*figure, unit, t.*figure / reference);
            } else {
                std::printf(" %9.2f %s         ", t.*figure, unit);
            }
        }
        std::printf("\n");
    };
    std::printf("median of %d runs; columns:", runs);
    for (const auto& [name, t] : tools) {
        std::printf("  %s", name.c_str());
    }
    std::printf("\n64 MiB image\n");
    std::printf("  %-34s %9.2f ms\n", "cat FILE > /dev/null", cat);
    std::printf("  %-34s %9.2f ms\n", "cp FILE OUT", cp);
    row("velmora-image verify (x cat)", cat, &ToolFigures::verify, "ms");
    row("velmora-image info (x cat)", cat, &ToolFigures::info, "ms");
    row("velmora-image generate (x cp)", cp, &ToolFigures::generate, "ms");
    row("  of which unpacking the key script", 0, &ToolFigures::unpack, "ms");
    std::printf("1 GiB image, peak memory\n");
    row("velmora-image verify", 0, &ToolFigures::verify_peak, "MB");
    row("velmora-image dump", 0, &ToolFigures::dump_peak, "MB");
    row("velmora-image generate", 0, &ToolFigures::generate_peak, "MB");
    std::printf("1 GiB that is no image\n");
    std::printf("  %-34s %9.2f ms\n", "cat FILE > /dev/null", read_huge);
    row("velmora-image verify (refused)", 0, &ToolFigures::refuse, "ms");
    std::printf("64 MiB image whose 60 records each cover nearly all of it\n");
    std::printf("  %-34s %9.2f ms\n", "cat FILE > /dev/null", cat_crafted);
    row("velmora-image verify (x cat)", cat_crafted, &ToolFigures::crafted_verify, "ms");
    row("velmora-image generate (x cp)", cp, &ToolFigures::crafted_generate, "ms");
    std::filesystem::remove_all(dir);
    return 0;
}
