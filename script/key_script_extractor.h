// Unpacks the flash image's compressed key script to the fixed file the key map page reads.
//
// The compressed bytes are written to k_compressed_script_path and the external gzip decompresses
// them in place, leaving k_script_path (without the ".gz") for the key script parser. Callers may
// rely on: nothing is reported; whatever k_script_path holds afterwards came from this script, never
// from an earlier image (an empty script, a write that fails, a missing gzip or bad data leave no
// file there). ExtractKeyScript blocks until gzip has ended or `limit` has passed, and notices
// the end at once.
#pragma once

#include <chrono>
#include <string_view>

#include "config/key_script_buffer.h"
#include "script/process_runner.h"

namespace velmora {

inline constexpr std::string_view k_script_directory = "D:\\tmp";
inline constexpr std::string_view k_compressed_script_path = "D:\\tmp\\script-kv.cfg.gz";
inline constexpr std::string_view k_script_path = "D:\\tmp\\script-kv.cfg";
inline constexpr std::string_view k_decompress_command = "gzip.exe -d D:\\tmp\\script-kv.cfg.gz";

// The longest the wait for gzip goes without looking at the runner again.
inline constexpr std::chrono::milliseconds k_decompress_poll{100};

// How long Parse waits for gzip. A script of at most 10 KiB unpacks in milliseconds, so a few seconds
// leave ample room on a loaded machine; a gzip that is still running after this is stopped (no
// decompressed file, so the key map page reports the script error) rather than holding the window.
inline constexpr std::chrono::milliseconds k_decompress_limit{std::chrono::seconds(5)};

void ExtractKeyScript(const KeyScriptBuffer& script, ProcessRunner& runner,
                      std::chrono::milliseconds limit = k_decompress_limit);

}  // namespace velmora
