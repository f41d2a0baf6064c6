// The configuration of two page sets compared field by field as the pages show them, for
// `velmora-image diff`.
//
// What is compared, in this order, and how each difference is named (rows and places count from 0):
// - the front panel and hardware pages: each labelled value, named by its label without the colon
//   ("FP Type"), the value as the page shows it ("1642", "checked");
// - the power wave: "Power Wave Data N", one decimal value per place;
// - the user codes: "IR1 UserCode(in Hex)", "IR2 UserCode(in Hex)", as the page shows them;
// - the key tables, table by table (IR1, IR2, FP): "IR1 key N" with the code in hex ("0x1c"), and,
//   where both sides have the row and both carry names, "IR1 key N name" with the names;
// - the LED map: "LED map byte N" in hex.
// A row that one side does not have is a value of none (std::nullopt). The window's passing state
// (the number base, the LED map's buttons and captions) is no configuration and is not compared.
// Only the parts given are compared. The result is empty when the parts are the same.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pages/models/page_set.h"
#include "tools/velmora-image/config_source.h"

namespace velmora::image_tool {

struct Difference {
    std::string field;
    // Key code rows only: the key's name on A's page, else on B's; often empty.
    std::string key_name;
    std::optional<std::string> a;
    std::optional<std::string> b;

    bool operator==(const Difference&) const = default;
};

std::vector<Difference> compare_configs(const PageSet& a, const PageSet& b, ConfigParts parts);

}  // namespace velmora::image_tool
