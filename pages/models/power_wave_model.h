// The "Power Wave Data Config" dialog without its window: one line of text holding the 63 power-wave
// values, its OK and Cancel, and the points its plot draws.
//
// Callers may rely on this: OK writes all 63 words (offsets 336..461) or, when the text holds more
// than 63 values or a value that does not fit a word, nothing at all; no other byte of the block is
// ever written. A value is read leniently (blanks, a sign, trailing text after the digits) and must
// lie from 0 to 65535: "abc", "-5" or "70000" is refused with "The 'Power Wave Data 2' value is not
// valid!", places counted from 0 as velmora-image's diff counts them. The plot's points are a
// function of the text alone, and a point that is a number is the word OK writes for that place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_block.h"
#include "pages/models/page_message.h"

namespace velmora {

// How a power-wave value names itself in messages: "Power Wave Data" and its place, from 0.
inline constexpr std::string_view k_power_wave_field = "Power Wave Data";
inline constexpr std::uint32_t k_power_wave_max = 0xFFFF;

// The 63 power-wave words as the hardware page shows them: unsigned decimals joined by single commas.
std::string power_wave_text(const ConfigBlock& block);

// The values of a text, as OK splits it: a run of commas is one separator, and commas at either end
// give no value, so no value is empty.
std::vector<std::string_view> power_wave_tokens(std::string_view text);

// The place (from 0) of the first value that OK refuses because it does not fit a word, if any.
std::optional<std::size_t> refused_power_wave_value(std::string_view text);
std::string power_wave_field(std::size_t place);
// What OK says of a text before it stores anything: more than 63 values, or a value that does not
// fit; nothing when OK takes it. The command lines check their --power-wave with it.
std::optional<PageMessage> check_power_wave(std::string_view text);

// One place of the plot: the word OK writes there, or nothing (a gap) when the value typed there is
// not a plain decimal number (blanks, a sign, digits, blanks) that fits a word.
using PowerWavePoint = std::optional<std::uint16_t>;

// One point a value, then 0 for each of the 63 places the text leaves empty (OK writes 0 there), so
// there are at least 63; values past the 63rd are kept, for the plot to show that OK will refuse them.
std::vector<PowerWavePoint> power_wave_points(std::string_view text);

class PowerWaveModel {
public:
    // Bound to the dialog's edit; the hardware page sets it before each opening.
    std::string text;

    // OK with `text` already pulled from the edit. A message means the dialog stays open and the
    // block is as it was.
    std::optional<PageMessage> ok(ConfigBlock& config) const;
    // Cancel stores nothing; the dialog pushes the returned text (the last one set) back into its edit.
    const std::string& cancel() const { return text; }
};

}  // namespace velmora
