#include "tools/velmora-image/page_dump.h"

#include <fmt/format.h>

namespace velmora::image_tool {

nlohmann::json page_view_json(const PageView& view) {
    // An array of pairs keeps the page's own order of controls.
    nlohmann::json fields = nlohmann::json::array();
    for (const PageField& field : view.fields) {
        fields.push_back({{"label", field.label}, {"value", field.value}});
    }
    nlohmann::json tables = nlohmann::json::array();
    for (const PageTable& table : view.tables) {
        tables.push_back({{"name", table.name}, {"columns", table.columns}, {"rows", table.rows}});
    }
    return {{"page", view.page}, {"fields", fields}, {"tables", tables}};
}

void print_page_view(std::ostream& out, const PageView& view) {
    out << "[" << view.page << "]\n";
    for (const PageField& field : view.fields) {
        out << fmt::format("  {:<24} {}\n", field.label, field.value);
    }
    for (const PageTable& table : view.tables) {
        out << "  " << table.name << ":";
        for (const std::string& column : table.columns) {
            out << fmt::format(" {:<20}", column);
        }
        out << "\n";
        for (std::size_t row = 0; row < table.rows.size(); ++row) {
            out << fmt::format("  {:>4}", row);
            for (const std::string& cell : table.rows[row]) {
                out << fmt::format(" {:<20}", cell);
            }
            out << "\n";
        }
    }
}

}  // namespace velmora::image_tool
