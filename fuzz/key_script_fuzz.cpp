// Feeds arbitrary bytes to the key script parser and checks what every caller relies on: the result
// is success or "not a tool script", a success never overfills a list or a name slot, a failure
// leaves no names behind, and names from an earlier run never survive.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/key_script_parser.h"

namespace {

bool within(const std::vector<std::string>& list, std::size_t capacity) {
    if (list.size() > capacity) {
        return false;
    }
    for (const std::string& name : list) {
        if (name.size() > velmora::k_key_name_max || name.find('\0') != std::string::npos) {
            return false;
        }
    }
    return true;
}

bool same(const velmora::KeyNames& a, const velmora::KeyNames& b) {
    return a.ir1 == b.ir1 && a.ir2 == b.ir2 && a.fp == b.fp;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // A caller's lists still hold an earlier script's names; none of them may survive the run.
    velmora::KeyNames names{{"stale"}, {"stale", "stale"}, {"stale"}};
    const int result = velmora::parse_key_script(text, names);

    if (result == velmora::k_script_ok) {
        if (!within(names.ir1, velmora::k_ir1_name_capacity) ||
            !within(names.ir2, velmora::k_ir2_name_capacity) ||
            !within(names.fp, velmora::k_fp_name_capacity)) {
            __builtin_trap();
        }
    } else if (result == velmora::k_script_invalid) {
        if (!names.ir1.empty() || !names.ir2.empty() || !names.fp.empty()) {
            __builtin_trap();
        }
    } else {
        __builtin_trap();
    }

    // The parse depends on the text alone.
    velmora::KeyNames again;
    if (velmora::parse_key_script(text, again) != result || !same(names, again)) {
        __builtin_trap();
    }
    return 0;
}
