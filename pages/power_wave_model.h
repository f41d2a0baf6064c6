// The "Power Wave Data Config" dialog without its window: one line of text holding the 63 power-wave
// values, and its OK and Cancel.
//
// Callers may rely on this: OK writes all 63 words (offsets 336..461) or, when the text holds more
// than 63 values, nothing at all; no other byte of the block is ever written.
#pragma once

#include <optional>
#include <string>

#include "config/config_block.h"
#include "pages/page_message.h"

namespace velmora {

// The 63 power-wave words as the hardware page shows them: unsigned decimals joined by single commas.
std::string power_wave_text(const ConfigBlock& block);

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
