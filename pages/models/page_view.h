// What a page shows, as plain text, for `velmora-image dump` and for tests: labelled values (the
// item text of a combo, the text of an edit, a check box) and tables (the key lists).
#pragma once

#include <string>
#include <vector>

namespace velmora {

struct PageField {
    std::string label;  // the control's label as the page shows it, e.g. "FP Type:"
    std::string value;  // "" when a combo has no selection
};

struct PageTable {
    std::string name;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

struct PageView {
    std::string page;  // "Front Panel", "HW Info", "Key Map", "LED Map"
    std::vector<PageField> fields;
    std::vector<PageTable> tables;
};

}  // namespace velmora
