// What each page would show, for `velmora-image dump`: labelled values and the key tables. The key
// names in the tables come from the image, so every text goes through report_text.h: valid UTF-8 in
// the JSON, no control byte in the plain text.
#pragma once

#include <ostream>

#include <nlohmann/json.hpp>

#include "pages/models/page_view.h"

namespace velmora::image_tool {

nlohmann::json page_view_json(const PageView& view);
void print_page_view(std::ostream& out, const PageView& view);

}  // namespace velmora::image_tool
