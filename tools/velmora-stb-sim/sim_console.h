// The lines the simulator reads on its standard input: "reset", "key USERCODE KEY", "quit".
//
// Callers may rely on: blanks around and between words do not matter; USERCODE is hexadecimal with or
// without "0x" and at most 0xFFFF; KEY is decimal, or hexadecimal after "0x", at most 255; an empty
// line is `none`; anything else is `unknown` with a message saying what is wrong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::stb_sim {

struct ConsoleCommand {
    enum class Kind { none, reset, key, quit, unknown };
    Kind kind = Kind::none;
    std::uint16_t user_code = 0;
    std::uint8_t key = 0;
    std::string error;  // for `unknown`

    static ConsoleCommand parse(std::string_view line);
};

}  // namespace velmora::stb_sim
