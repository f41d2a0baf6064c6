// What each page would show, for `velmora-image dump`: labelled values and the key tables.
#pragma once

#include <ostream>

#include <nlohmann/json.hpp>

#include "pages/page_view.h"

namespace velmora::image_tool {

nlohmann::json page_view_json(const PageView& view);
void print_page_view(std::ostream& out, const PageView& view);

}  // namespace velmora::image_tool
