#include "tools/velmora-image/image_report.h"

#include <fmt/format.h>

#include <optional>

#include "config/crc32.h"

namespace velmora::image_tool {

namespace {

std::optional<DirectoryReport> report_directory(const ImageSource& image, SearchWindow window,
                                                DirectoryKind kind) {
    RecordDirectory directory;
    DirectoryReport report;
    switch (directory.locate(image, window)) {
        case DirectoryStatus::found:
            break;
        case DirectoryStatus::unreadable:
            return std::nullopt;
        default:
            return report;
    }
    report.marker_offset = directory.marker_offset();
    report.entry_count = directory.entry_count();
    report.entry_size = directory.entry_size();
    std::vector<CrcRange> ranges;  // all CRCs in one pass, however large and overlapping the records
    for (std::size_t i = 0; i < directory.entry_count(); ++i) {
        EntryReport entry{i, directory.entry(i), 0, std::nullopt, false};
        entry.data_position = directory.data_position(entry.entry);
        entry.used = record_bytes_used(kind, entry.entry) != 0;
        if (directory.record_fits(entry.entry, entry.entry.length, image.size())) {
            ranges.push_back({entry.data_position, entry.entry.length});
            entry.computed_crc = 0;
        }
        report.entries.push_back(entry);
    }
    const std::optional<std::vector<std::uint32_t>> crcs = range_crcs(image, ranges);
    if (!crcs) {
        return std::nullopt;
    }
    std::size_t next = 0;
    for (EntryReport& entry : report.entries) {
        if (entry.computed_crc) {
            entry.computed_crc = (*crcs)[next++];
        }
    }
    return report;
}

std::string hex32(std::uint64_t value) {
    return fmt::format("0x{:08x}", value);
}

nlohmann::json directory_json(const DirectoryReport& directory) {
    nlohmann::json entries = nlohmann::json::array();
    for (const EntryReport& e : directory.entries) {
        entries.push_back({
            {"index", e.index},
            {"tag", e.entry.tag},
            {"name", tag_name(e.entry.tag)},
            {"offset", e.entry.offset},
            {"data_position", e.data_position},
            {"length", e.entry.length},
            {"stored_crc", hex32(e.entry.crc)},
            {"computed_crc", e.computed_crc ? nlohmann::json(hex32(*e.computed_crc)) : nlohmann::json()},
            {"crc_matches", e.crc_matches()},
            {"used", e.used},
        });
    }
    return {{"marker_offset", directory.marker_offset},
            {"entry_count", directory.entry_count},
            {"entry_size", directory.entry_size},
            {"entries", entries}};
}

void print_directory(std::ostream& out, char name, const DirectoryReport& directory) {
    out << fmt::format("Directory {} at 0x{:x} ({}): {} entries of {} bytes\n", name, directory.marker_offset,
                       directory.marker_offset, directory.entry_count, directory.entry_size);
    out << "   #  tag   name            offset      length  stored crc  computed    match\n";
    for (const EntryReport& e : directory.entries) {
        const std::string computed = e.computed_crc ? hex32(*e.computed_crc) : "outside";
        const char* match = e.crc_matches() ? "yes" : "NO";
        out << fmt::format("  {:2}  0x{:02x}  {:<14}  0x{:08x}  {:6}  {}  {}  {}{}\n", e.index, e.entry.tag,
                           tag_name(e.entry.tag), e.entry.offset, e.entry.length, hex32(e.entry.crc),
                           computed, match, e.used ? "" : "  (not used)");
    }
}

}  // namespace

std::string_view tag_name(std::uint8_t tag) {
    switch (tag) {
        case TAG_MAIN:
            return "TAG_MAIN";
        case TAG_IR1_KEYS:
            return "TAG_IR1_KEYS";
        case TAG_IR2_KEYS:
            return "TAG_IR2_KEYS";
        case TAG_FP_KEYS:
            return "TAG_FP_KEYS";
        case TAG_KEY_SCRIPT:
            return "TAG_KEY_SCRIPT";
        default:
            return "unknown";
    }
}

std::optional<ImageReport> build_image_report(const ImageSource& image) {
    ImageReport report;
    report.image_size = static_cast<std::size_t>(image.size());
    std::optional<DirectoryReport> a = report_directory(image, k_window_a, DirectoryKind::a);
    std::optional<DirectoryReport> b = report_directory(image, k_window_b, DirectoryKind::b);
    if (!a || !b) {
        return std::nullopt;
    }
    report.a = std::move(*a);
    report.b = std::move(*b);
    for (const EntryReport& e : report.b.entries) {
        if (e.entry.tag == TAG_KEY_SCRIPT) {
            report.key_script_size = e.entry.length;
        }
    }
    return report;
}

nlohmann::json to_json(const ImageReport& report) {
    return {{"image_size", report.image_size},
            {"directory_a", directory_json(report.a)},
            {"directory_b", directory_json(report.b)},
            {"key_script_size", report.key_script_size}};
}

void print_text(std::ostream& out, const ImageReport& report) {
    out << fmt::format("Image: {} bytes\n", report.image_size);
    print_directory(out, 'A', report.a);
    print_directory(out, 'B', report.b);
    out << fmt::format("Key script: {} bytes, gzip-compressed\n", report.key_script_size);
}

}  // namespace velmora::image_tool
