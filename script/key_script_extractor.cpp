#include "script/key_script_extractor.h"

#include <cstdio>
#include <string>

#include "platform/file_system.h"

namespace velmora {

void ExtractKeyScript(const KeyScriptBuffer& script, ProcessRunner& runner, std::chrono::milliseconds limit) {
    platform::create_directory(k_script_directory);

    // A Parse that failed after an earlier extraction leaves the decompressed script behind. gzip
    // will not overwrite it, so the key map page would read the previous image's key names; a
    // stale .gz would likewise make gzip stop. Start from neither.
    platform::delete_file(k_script_path);
    platform::delete_file(k_compressed_script_path);

    if (script.size > script.bytes.size()) {
        return;
    }
    std::FILE* file = platform::open_file(k_compressed_script_path, "wb");
    if (file == nullptr) {
        return;
    }
    const std::size_t written = std::fwrite(script.bytes.data(), 1, script.size, file);
    // A failed close can mean the last buffered bytes never reached the file.
    if (std::fclose(file) != 0 || written != script.size) {
        return;
    }

    runner.Start(std::string(k_decompress_command), false);
    const auto give_up = std::chrono::steady_clock::now() + limit;
    while (runner.IsRunning()) {
        if (std::chrono::steady_clock::now() >= give_up) {
            runner.Stop();  // kills gzip; a half-written script is removed below
            platform::delete_file(k_script_path);
            return;
        }
        runner.wait_for_exit(k_decompress_poll);
    }

    platform::set_hidden(k_script_path);
}

}  // namespace velmora
