#include "tools/velmora-image/page_dump.h"

#include <fmt/format.h>

#include "tools/velmora-image/report_text.h"

namespace velmora::image_tool {

namespace {

nlohmann::json json_texts(const std::vector<std::string>& texts) {
    nlohmann::json items = nlohmann::json::array();
    for (const std::string& text : texts) {
        items.push_back(json_text(text));
    }
    return items;
}

}  // namespace

nlohmann::json page_view_json(const PageView& view) {
    // An array of pairs keeps the page's own order of controls.
    nlohmann::json fields = nlohmann::json::array();
    for (const PageField& field : view.fields) {
        fields.push_back({{"label", json_text(field.label)}, {"value", json_text(field.value)}});
    }
    nlohmann::json tables = nlohmann::json::array();
    for (const PageTable& table : view.tables) {
        nlohmann::json rows = nlohmann::json::array();
        for (const std::vector<std::string>& row : table.rows) {
            rows.push_back(json_texts(row));
        }
        tables.push_back(
            {{"name", json_text(table.name)}, {"columns", json_texts(table.columns)}, {"rows", rows}});
    }
    return {{"page", json_text(view.page)}, {"fields", fields}, {"tables", tables}};
}

void print_page_view(std::ostream& out, const PageView& view) {
    out << "[" << escape_for_terminal(view.page) << "]\n";
    for (const PageField& field : view.fields) {
        out << fmt::format("  {:<24} {}\n", escape_for_terminal(field.label),
                           escape_for_terminal(field.value));
    }
    for (const PageTable& table : view.tables) {
        out << "  " << escape_for_terminal(table.name) << ":";
        for (const std::string& column : table.columns) {
            out << fmt::format(" {:<20}", escape_for_terminal(column));
        }
        out << "\n";
        for (std::size_t row = 0; row < table.rows.size(); ++row) {
            out << fmt::format("  {:>4}", row);
            for (const std::string& cell : table.rows[row]) {
                out << fmt::format(" {:<20}", escape_for_terminal(cell));
            }
            out << "\n";
        }
    }
}

}  // namespace velmora::image_tool
