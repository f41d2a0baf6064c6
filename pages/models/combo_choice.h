// One drop-down list of a page: its fixed item texts and which of them is selected.
//
// Callers may rely on the list's own rule: selecting an index that the list does not have leaves it
// with no selection (-1), so a block value out of range shows an empty combo, never a wrong item.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace velmora {

inline constexpr int k_no_selection = -1;

class ComboChoice {
public:
    using Items = std::span<const std::string_view>;

    explicit ComboChoice(Items items) : items_(items) {}

    Items items() const { return items_; }
    int selected() const { return selected_; }
    // Wide enough for any value read from the block, so that no large value wraps into the list.
    void select(std::int64_t index);
    void clear() { selected_ = k_no_selection; }
    // "" when nothing is selected.
    std::string_view selected_text() const;

private:
    Items items_;
    int selected_ = k_no_selection;
};

}  // namespace velmora
