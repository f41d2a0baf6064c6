// `velmora-image diff A B [--json]`: the configuration of two flash images, or of an image and a side
// file, or of two side files of one kind, compared field by field as the pages show them, for
// checking a batch against its master.
//
// Each file is loaded as config_source.h says; only the parts both carry are compared (an image
// against an .ir1 file: the IR1 codes and user code), in the order and under the names of
// config_diff.h.
//
// Plain output: one line per difference, "<field>: <A's value> → <B's value>", a key code row with
// its key's name in brackets after the field ("IR1 key 12 (OK): 0x1c → 0x1d"); a row one side lacks
// shows "(none)", an empty value "\"\"". Texts from the files are escaped for the terminal
// (report_text.h). Equal configurations print nothing, as diff(1).
// JSON: one object {"a": {"path", "kind"}, "b": {...}, "compared": [part names], "same": bool,
// "differences": [{"field", "a", "b"} (null for a missing row), with "key_name" on key rows that
// have a name]}; texts that are not UTF-8 as report_text.h says, so it always parses.
//
// A diff that compares nothing says why on `err`, naming the side at fault ("velmora-image: B
// (a.fp) is refused, so nothing was compared", then that file's own messages); with --json it also
// prints {"error": {"message", "side" ("a", "b" or null), "reasons": [the file's messages]},
// "a": {"path", "kind"}, "b": {...}} on `out` ("kind" null for a side not loaded), so a script
// reading the JSON always gets an object.
//
// Exit codes: 0 the same, 1 they differ, or a file was refused, 2 two side files with no part in
// common; a report that cannot be written as commands.h says.
#pragma once

#include <ostream>
#include <string>

namespace velmora::image_tool {

inline constexpr int k_exit_differ = 1;

int run_diff(const std::string& a_path, const std::string& b_path, bool json, std::ostream& out,
             std::ostream& err);

}  // namespace velmora::image_tool
