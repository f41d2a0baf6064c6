#include "tools/velmora-stb-sim/sim_console.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

namespace velmora::stb_sim {

namespace {

std::vector<std::string_view> words_of(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\r\n", at);
        if (at == std::string_view::npos) {
            return words;
        }
        const std::size_t end = std::min(line.find_first_of(" \t\r\n", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
}

std::optional<unsigned> number(std::string_view text, int base, unsigned max) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

ConsoleCommand unknown(std::string error) {
    ConsoleCommand command;
    command.kind = ConsoleCommand::Kind::unknown;
    command.error = std::move(error);
    return command;
}

}  // namespace

ConsoleCommand ConsoleCommand::parse(std::string_view line) {
    const std::vector<std::string_view> words = words_of(line);
    ConsoleCommand command;
    if (words.empty()) {
        return command;
    }
    if (words[0] == "reset" || words[0] == "quit") {
        if (words.size() != 1) {
            return unknown(std::string(words[0]) + " takes no arguments");
        }
        command.kind = words[0] == "reset" ? Kind::reset : Kind::quit;
        return command;
    }
    if (words[0] != "key") {
        return unknown("unknown input '" + std::string(words[0]) + "' (reset, key USERCODE KEY, quit)");
    }
    if (words.size() != 3) {
        return unknown("usage: key USERCODE KEY (user code in hex, key decimal or 0x-hex)");
    }
    const std::optional<unsigned> user_code = number(words[1], 16, 0xFFFF);
    const std::optional<unsigned> key = number(words[2], 10, 0xFF);
    if (!user_code) {
        return unknown("bad user code '" + std::string(words[1]) + "' (hex, 0..ffff)");
    }
    if (!key) {
        return unknown("bad key '" + std::string(words[2]) + "' (0..255, decimal or 0x-hex)");
    }
    command.kind = Kind::key;
    command.user_code = static_cast<std::uint16_t>(*user_code);
    command.key = static_cast<std::uint8_t>(*key);
    return command;
}

}  // namespace velmora::stb_sim
