// The commands of velmora-image, callable in-process (the tests do) with their output streams.
//
// Exit codes: 0 done; 1 the image or a file was refused or could not be written (the system's
// message on `err`); 2 bad usage (handled by main); verify also returns 1 for a CRC mismatch.
// A report that cannot be written to `out` in full (a full disk, a closed pipe) is an error too: exit 1
// and "velmora-image: cannot write the report: <reason>" on `err`, whatever the command had done
// before (generate and sample have written their file by then).
#pragma once

#include <ostream>
#include <string>

namespace velmora::image_tool {

inline constexpr int k_exit_ok = 0;
inline constexpr int k_exit_refused = 1;
inline constexpr int k_exit_usage = 2;

int run_info(const std::string& image_path, bool json, std::ostream& out, std::ostream& err);
int run_verify(const std::string& image_path, std::ostream& out, std::ostream& err);
int run_dump(const std::string& image_path, bool json, std::ostream& out, std::ostream& err);
int run_sample(const std::string& output_path, std::ostream& out, std::ostream& err);

// Flushes `out`; when anything written to it was lost, says so on `err` and returns k_exit_refused,
// otherwise `status`. Every command ends with it.
int finish_report(std::ostream& out, std::ostream& err, int status);

}  // namespace velmora::image_tool
