#include "tools/velmora-image/commands.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "config/flash_image.h"
#include "config/flash_image_file.h"
#include "pages/models/page_set.h"
#include "platform/atomic_file.h"
#include "script/key_script_extractor.h"
#include "script/key_script_parser.h"
#include "script/process_runner.h"
#include "tools/velmora-image/block_dump.h"
#include "tools/velmora-image/image_report.h"
#include "tools/velmora-image/page_dump.h"
#include "tools/velmora-image/report_text.h"
#include "tools/velmora-image/sample_image.h"

namespace velmora::image_tool {

namespace {

// Opens the image as Parse would and reports on it; on refusal prints the system's message. A file
// that changes while it is read is refused as Parse refuses it.
std::optional<ImageReport> report_image(const std::string& path, std::ostream& err) {
    FlashImageFile source;
    std::optional<ImageMessage> message = source.check(path);
    std::optional<ImageReport> report;
    if (!message) {
        report = build_image_report(source);
        if (!report || !source.unchanged()) {
            message = ImageMessage::wrong_binary;
        }
    }
    if (message) {
        err << message_text(*message).text << "\n";
        return std::nullopt;
    }
    return report;
}

}  // namespace

int run_info(const std::string& image_path, bool json, std::ostream& out, std::ostream& err) {
    const std::optional<ImageReport> report = report_image(image_path, err);
    if (!report) {
        return k_exit_refused;
    }
    errno = 0;
    if (json) {
        out << json_report(to_json(*report));
    } else {
        print_text(out, *report);
    }
    return finish_report(out, err, k_exit_ok);
}

int run_verify(const std::string& image_path, std::ostream& out, std::ostream& err) {
    const std::optional<ImageReport> report = report_image(image_path, err);
    if (!report) {
        return k_exit_refused;
    }
    errno = 0;
    std::size_t checked = 0;
    std::size_t mismatches = 0;
    for (const EntryReport& e : report->a.entries) {
        if (!e.used) {
            continue;  // Generate writes only the records it knows; others keep whatever CRC they had
        }
        ++checked;
        if (!e.crc_matches()) {
            ++mismatches;
            out << fmt::format("mismatch: entry {} ({}) stored CRC 0x{:08x}, data gives 0x{:08x}\n", e.index,
                               tag_name(e.entry.tag), e.entry.crc, e.computed_crc.value_or(0));
        }
    }
    if (mismatches != 0) {
        out << fmt::format("{} of {} record CRCs of directory A do not match\n", mismatches, checked);
        return finish_report(out, err, k_exit_refused);
    }
    out << fmt::format("all {} record CRCs of directory A match\n", checked);
    return finish_report(out, err, k_exit_ok);
}

int run_dump(const std::string& image_path, bool json, std::ostream& out, std::ostream& err) {
    // As the view after construction: a zeroed block, an empty script buffer, one runner.
    ConfigBlock block;
    KeyScriptBuffer script;
    ProcessRunner runner;
    FlashImageFile source;
    if (const auto message =
            source.parse(image_path, block, script, [&] { ExtractKeyScript(script, runner); })) {
        err << message_text(*message).text << "\n";
        return k_exit_refused;
    }
    // What each page shows after Parse; the key map page reads the unpacked script and removes it.
    PageSet pages;
    for (const PageMessage& message : pages.LoadPages(block)) {
        err << message.text << "\n";
    }
    const KeyNames& names = pages.key_map.names();
    const int script_status = pages.key_map.script_status();
    const std::array<const PageModel*, 4> shown{&pages.fp, &pages.hw, &pages.key_map, &pages.led_map};
    errno = 0;

    if (json) {
        nlohmann::json dump{
            {"block", to_hex(block.bytes)},       {"script_status", script_status},
            {"key_names", key_names_json(names)}, {"key_names_hex", key_names_hex_json(names)},
            {"fields", block_fields_json(block)}, {"pages", nlohmann::json::array()},
        };
        for (const PageModel* page : shown) {
            dump["pages"].push_back(page_view_json(page->view()));
        }
        out << json_report(dump);
    } else {
        print_block_fields(out, block);
        print_key_names(out, script_status, names);
        for (const PageModel* page : shown) {
            print_page_view(out, page->view());
        }
    }
    return finish_report(out, err, k_exit_ok);
}

int run_sample(const std::string& output_path, std::ostream& out, std::ostream& err) {
    const std::vector<std::uint8_t> image = make_sample_image();
    if (!platform::write_file_atomically(output_path, image)) {
        err << message_text(ImageMessage::open_output_failed).text << "\n";
        return k_exit_refused;
    }
    errno = 0;
    out << fmt::format("wrote a {}-byte sample image to {}\n", image.size(), output_path);
    return finish_report(out, err, k_exit_ok);
}

int finish_report(std::ostream& out, std::ostream& err, int status) {
    out.flush();
    if (out) {
        return status;
    }
    // The stream keeps no reason of its own; errno still holds the failed write's, since a stream in
    // error makes no further calls. The commands clear errno just before they write.
    const int reason = errno;
    err << "velmora-image: cannot write the report: "
        << (reason != 0 ? std::strerror(reason) : "output error") << "\n";
    return k_exit_refused;
}

}  // namespace velmora::image_tool
