// Checks of the numbers given on the tools' command lines, shared so that every tool refuses a bad
// number in the same words: the value as typed and the range it must lie in, with bounds a person can
// read (never the limits of a floating-point type, hundreds of digits long).
//
// Callers may rely on: each check runs on the text before CLI11 converts it, so a value the option's
// type cannot hold (a negative count for an unsigned one, text that is no number at all) is refused
// by the check, never converted into something else; a refusal reads "--option: <message>".
#pragma once

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace velmora::tools {

// A whole decimal number from `low` to `high`, written with digits alone (a leading minus allowed).
inline CLI::Validator whole_number_from(std::int64_t low, std::int64_t high) {
    const std::string range = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    return CLI::Validator(
        [low, high, range](std::string& text) -> std::string {
            std::int64_t value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
                return "'" + text + "' is not " + range;
            }
            return {};
        },
        "INT in [" + std::to_string(low) + ", " + std::to_string(high) + "]");
}

// A finite number of seconds from `low` to `high` (decimals allowed: "0.5").
inline CLI::Validator seconds_from(std::int64_t low, std::int64_t high) {
    const std::string range =
        "a number of seconds from " + std::to_string(low) + " to " + std::to_string(high);
    return CLI::Validator(
        [low, high, range](std::string& text) -> std::string {
            char* stop = nullptr;
            const double value = std::strtod(text.c_str(), &stop);
            if (text.empty() || stop != text.c_str() + text.size() || !std::isfinite(value) ||
                value < static_cast<double>(low) || value > static_cast<double>(high)) {
                return "'" + text + "' is not " + range;
            }
            return {};
        },
        "SECONDS in [" + std::to_string(low) + ", " + std::to_string(high) + "]");
}

}  // namespace velmora::tools
