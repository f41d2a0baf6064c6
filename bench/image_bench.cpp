// How much `velmora-image verify` and `info` cost on a 64 MiB image beside merely reading the file
// (`cat FILE > /dev/null`), and `generate` beside copying it (`cp`), all run as whole processes on a
// warm cache. The work is bound by the file, so each ratio should stay at or below 1.5; generate's
// fixed cost of unpacking the key script is measured on the small sample and shown apart. Last, how
// long a 1 GiB file that is no image takes to be refused (the loader of Parse and of every command
// reads only directory A's search window of it) beside reading it whole. Then a crafted 64 MiB image
// whose 60 records of directory A each cover nearly all of it: verify and generate take every CRC in
// one pass over the image, so they should cost about what they cost on the plain image, not 60 times
// as much.
//
//   bench_image_bench [RUNS]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/byte_order.h"
#include "config/record_directory.h"

extern char** environ;

namespace {

constexpr std::size_t k_image_size = 64u << 20;
constexpr std::uintmax_t k_not_image_size = std::uintmax_t{1} << 30;

double run_once(const std::vector<std::string>& argv, int expected_status = 0) {
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
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expected_status) {
        std::fprintf(stderr, "%s failed\n", args[0]);
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double median_ms(const std::vector<std::string>& argv, int runs, int expected_status = 0) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run_once(argv, expected_status));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Directory A at 0x40 with 60 main records from 0x1000 to (nearly) the end, directory B empty, the
// rest erased flash.
void write_crafted_image(const std::string& path) {
    constexpr std::size_t k_a = 0x40;
    constexpr std::uint32_t k_data = 0x1000;
    constexpr std::uint16_t k_records = 60;
    std::vector<std::uint8_t> image(k_image_size, 0xFF);
    const auto put = [&](std::size_t at, std::uint64_t value, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i) {
            image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    for (const std::size_t at : {k_a, std::size_t{0x10000}}) {
        std::copy(velmora::k_directory_marker.begin(), velmora::k_directory_marker.end(), image.begin() + at);
        put(at + velmora::k_entry_count_offset, at == k_a ? k_records : 0, 2);
        put(at + velmora::k_entry_size_offset, velmora::k_entry_stride, 2);
    }
    for (std::size_t i = 0; i < k_records; ++i) {
        const std::size_t entry = k_a + velmora::k_entries_offset + i * velmora::k_entry_stride;
        std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(entry), velmora::k_entry_stride, 0);
        image[entry] = velmora::TAG_MAIN;
        put(entry + velmora::k_entry_data_offset, k_data, 4);
        put(entry + velmora::k_entry_length_offset, k_image_size - k_a - k_data - i, 4);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string image = (dir / "image64.bin").string();
    const std::string small = (dir / "sample.bin").string();
    const std::string copy = (dir / "copy.bin").string();
    const std::string generated = (dir / "generated.bin").string();

    // The sample image, then erased flash up to 64 MiB.
    run_once({VELMORA_IMAGE_TOOL, "sample", "-o", image});
    run_once({VELMORA_IMAGE_TOOL, "sample", "-o", small});
    {
        std::ofstream out(image, std::ios::binary | std::ios::app);
        const std::vector<char> erased(1 << 20, static_cast<char>(0xFF));
        while (std::filesystem::file_size(image) < k_image_size) {
            out.write(erased.data(), static_cast<std::streamsize>(std::min<std::size_t>(
                                         erased.size(), k_image_size - std::filesystem::file_size(image))));
            out.flush();
        }
    }
    run_once({"cat", image});  // warm the cache

    const double cat = median_ms({"cat", image}, runs);
    const double verify = median_ms({VELMORA_IMAGE_TOOL, "verify", image}, runs);
    const double info = median_ms({VELMORA_IMAGE_TOOL, "info", image}, runs);
    const double cp = median_ms({"cp", image, copy}, runs);
    const double generate = median_ms({VELMORA_IMAGE_TOOL, "generate", image, "-o", generated}, runs);
    const double unpack = median_ms({VELMORA_IMAGE_TOOL, "generate", small, "-o", generated}, runs) -
                          median_ms({"cp", small, copy}, runs);
    std::printf("64 MiB image, median of %d runs\n", runs);
    std::printf("  cat FILE > /dev/null      %8.2f ms\n", cat);
    std::printf("  velmora-image verify FILE %8.2f ms   ratio %.2f\n", verify, verify / cat);
    std::printf("  velmora-image info FILE   %8.2f ms   ratio %.2f\n", info, info / cat);
    std::printf("  cp FILE OUT               %8.2f ms\n", cp);
    std::printf(
        "  velmora-image generate    %8.2f ms   ratio %.2f; less the fixed %.2f ms of unpacking the key "
        "script: ratio %.2f\n",
        generate, generate / cp, unpack, (generate - unpack) / cp);

    // Sparse, so it costs no disk; `verify` refuses it with "Wrong binary file!" (exit 1).
    const std::string not_image = (dir / "not-an-image.bin").string();
    std::ofstream(not_image, std::ios::binary).close();
    std::filesystem::resize_file(not_image, k_not_image_size);
    const double refuse = median_ms({VELMORA_IMAGE_TOOL, "verify", not_image}, runs, 1);
    const double read_whole = median_ms({"cat", not_image}, std::min(runs, 3));
    std::printf("1 GiB that is no image\n");
    std::printf("  velmora-image verify FILE %8.2f ms   (refused)\n", refuse);
    std::printf("  cat FILE > /dev/null      %8.2f ms\n", read_whole);

    const std::string crafted = (dir / "crafted64.bin").string();
    write_crafted_image(crafted);
    run_once({VELMORA_IMAGE_TOOL, "generate", crafted, "-o", crafted});  // stored CRCs that match
    const double crafted_verify = median_ms({VELMORA_IMAGE_TOOL, "verify", crafted}, runs);
    const double crafted_generate =
        median_ms({VELMORA_IMAGE_TOOL, "generate", crafted, "-o", generated}, runs);
    std::printf("64 MiB image whose 60 records each cover nearly all of it\n");
    std::printf("  velmora-image verify FILE %8.2f ms   ratio to the plain image's %.2f\n", crafted_verify,
                crafted_verify / verify);
    std::printf("  velmora-image generate    %8.2f ms   ratio to the plain image's %.2f\n", crafted_generate,
                crafted_generate / generate);
    std::filesystem::remove_all(dir);
    return 0;
}
