#include "pages/models/combo_choice.h"

namespace velmora {

void ComboChoice::select(std::int64_t index) {
    const bool in_list = index >= 0 && index < static_cast<std::int64_t>(items_.size());
    selected_ = in_list ? static_cast<int>(index) : k_no_selection;
}

std::string_view ComboChoice::selected_text() const {
    return selected_ == k_no_selection ? std::string_view{} : items_[static_cast<std::size_t>(selected_)];
}

}  // namespace velmora
