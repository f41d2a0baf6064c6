// How fast the key names come out of a large key script, read from a file and from memory.
//
// The script is one mebibyte of the lines a box's tool script holds: headers, comments, blank lines
// and record lines of all three lists, far more records than the lists keep, so every record is
// still checked after the lists are full.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "script/key_script_parser.h"

namespace velmora {
namespace {

constexpr std::size_t k_script_size = 1024 * 1024;

constexpr std::array<std::string_view, 16> k_key_names{
    "POWER", "MUTE", "MENU", "EXIT", "OK",  "UP",  "DOWN", "LEFT",
    "RIGHT", "VOL+", "VOL-", "CH+",  "CH-", "EPG", "INFO", "FAVOURITE_LIST"};

std::string record(std::string_view marker, int index) {
    const std::string code = std::to_string(index % 256);
    return "[" + std::string(marker) + std::string(k_key_names[index % k_key_names.size()]) + "][" + code +
           "][0x00][" + std::to_string(index % 3) + "]";
}

std::string make_script() {
    std::string text = "## tool configuration of the front panel and the remote controls\r\n";
    text += "CFGHEADER=toolcfg\r\nCFGVERSION=2\r\n\r\n";
    for (int line = 0; text.size() < k_script_size; ++line) {
        switch (line % 5) {
            case 0:
                text += record("1_", line) + " " + record("1_", line + 1) + " " + record("1_", line + 2) +
                        ";\r\n";
                break;
            case 1:
                text += "##" + record("2_", line) + " " + record("2_", line + 1) + "##\r\n";
                break;
            case 2:
                text += record("KEY_", line) + " ## front panel key " + std::to_string(line) + "\r\n";
                break;
            case 3:
                text += "## ---- block " + std::to_string(line) + " of the key table ----\r\n";
                break;
            default:
                text += "\r\n";
                break;
        }
    }
    return text;
}

const std::string& script_text() {
    static const std::string text = make_script();
    return text;
}

// The script written once to a private temporary file, removed when the program ends.
class ScriptFile {
public:
    ScriptFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "key-script-bench-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            throw std::runtime_error("cannot create the benchmark script");
        }
        path_ = pattern;
        const std::string& text = script_text();
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t got = ::write(fd, text.data() + written, text.size() - written);
            if (got <= 0) {
                break;
            }
            written += static_cast<std::size_t>(got);
        }
        ::close(fd);
        if (written != text.size()) {
            throw std::runtime_error("cannot write the benchmark script");
        }
    }
    ~ScriptFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;

    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

const ScriptFile& script_file() {
    static const ScriptFile file;
    return file;
}

void parse_key_script_in_memory(benchmark::State& state) {
    const std::string& text = script_text();
    KeyNames names;
    if (parse_key_script(text, names) != k_script_ok) {
        state.SkipWithError("the generated script does not parse");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(parse_key_script(text, names));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(parse_key_script_in_memory)->Unit(benchmark::kMillisecond);

void load_key_script_from_file(benchmark::State& state) {
    const std::string path = script_file().path();
    KeyNames names;
    if (LoadKeyScript(path, names) != k_script_ok) {
        state.SkipWithError("the generated script does not load");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(LoadKeyScript(path, names));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(script_text().size()));
}
BENCHMARK(load_key_script_from_file)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
