// The main view as the host shows it, with recording message boxes and scripted file dialogs, a
// private drive root for the key script, and the sample flash image made by velmora-image.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "config/record_directory.h"
#include "platform/drive_path.h"
#include "plugin/velmora_dlg.h"
#include "res/control_ids.h"
#include "tests/plugin/fake_registry.h"
#include "tests/plugin/page_dialog_fakes.h"

namespace velmora::plugin_test {

using namespace main_form_id;

// The eight controls that are always visible, and the ten that ShowMainControls moves together.
inline constexpr std::array<int, 8> k_always_visible{
    k_project_type_label, k_project_type_combo,  k_input_group,  k_input_label,
    k_input_path_edit,    k_browse_input_button, k_parse_button, k_clear_button};
inline constexpr std::array<int, 10> k_main_controls{
    k_page_tree,    k_page_tab,         k_connect_button,       k_send_config_button, k_output_group,
    k_output_label, k_output_path_edit, k_browse_output_button, k_generate_button,    k_upg_info_label};

// velmora-image makes a sample or an image in well under a second; a hung run fails the test.
inline constexpr std::chrono::milliseconds k_tool_limit{30000};

inline int run_image_tool(const QStringList& arguments) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tool.start(QStringLiteral(VELMORA_IMAGE_TOOL), arguments);
    if (!tool.waitForFinished(static_cast<int>(k_tool_limit.count()))) {
        tool.kill();
        tool.waitForFinished();
        return -1;
    }
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

inline std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Where a record of directory A sits: its 48-byte directory entry and its data.
struct RecordPlace {
    std::size_t entry;
    std::size_t data;
};

// Found with the image code's own directory reader, so the layout is written down once.
inline std::optional<RecordPlace> find_record(const std::vector<std::uint8_t>& image, std::uint8_t tag) {
    RecordDirectory directory;
    if (directory.locate(image, k_window_a) != DirectoryStatus::found) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < directory.entry_count(); ++i) {
        const RecordEntry entry = directory.entry(i);
        if (entry.tag == tag) {
            return RecordPlace{directory.marker_offset() + k_entries_offset + i * k_entry_stride,
                               static_cast<std::size_t>(directory.data_position(entry))};
        }
    }
    return std::nullopt;
}

inline constexpr std::uint8_t k_tag_main = TAG_MAIN;
inline constexpr std::uint8_t k_tag_fp_keys = TAG_FP_KEYS;
inline constexpr std::size_t k_entry_crc_at = k_entry_crc_offset;

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        dir = std::filesystem::path(temp_.path().toStdString());
        platform::set_drive_root(dir / "drives");
        view = new CVelmoraDlg(&registry);
        ASSERT_TRUE(view->Create(&parent));
        parent.resize(1000, 800);
        parent.show();
    }
    void TearDown() override { platform::set_drive_root({}); }

    void click(int id) { view->control_as<QAbstractButton>(id)->click(); }
    bool visible(int id) { return view->control(id)->isVisible(); }
    std::string text(int id) { return view->control_text(id); }
    QTreeWidget* tree() { return view->control_as<QTreeWidget>(k_page_tree); }

    void browse_input(const std::filesystem::path& path) {
        files.answers.push_back(path.string());
        click(k_browse_input_button);
    }
    void browse_output(const std::string& path) {
        files.answers.push_back(path);
        click(k_browse_output_button);
    }

    // The sample image under `name`; velmora-image makes it.
    std::filesystem::path sample(const std::string& name = "sample.bin") {
        const std::filesystem::path path = dir / name;
        EXPECT_EQ(run_image_tool({QStringLiteral("sample"), QStringLiteral("-o"),
                                  QString::fromStdString(path.string())}),
                  0);
        return path;
    }

    void parse(const std::filesystem::path& path) {
        browse_input(path);
        click(k_parse_button);
    }

    // The page windows shown, by name, e.g. "fp" or "key map"; "" for none.
    std::string shown_pages() const {
        std::string names;
        for (const auto& [page, name] : {std::pair<const QWidget*, const char*>{&view->fp_page, "fp"},
                                         {&view->hw_page, "hw"},
                                         {&view->key_map_page, "key map"},
                                         {&view->led_map_page, "led map"}}) {
            if (!page->isHidden()) {
                names += names.empty() ? name : std::string(" ") + name;
            }
        }
        return names;
    }

    // Parsed: everything shown, the front panel page on top, "Parse" disabled.
    void expect_parsed_state() {
        for (const int id : k_main_controls) {
            EXPECT_TRUE(visible(id)) << "control " << id;
        }
        EXPECT_EQ(shown_pages(), "fp");
        EXPECT_FALSE(view->is_control_enabled(k_parse_button));
    }

    // Initial: only the eight always-visible controls, no page, "Parse" enabled.
    void expect_initial_state() {
        for (const int id : k_always_visible) {
            EXPECT_TRUE(visible(id)) << "control " << id;
        }
        for (const int id : k_main_controls) {
            EXPECT_FALSE(visible(id)) << "control " << id;
        }
        EXPECT_FALSE(view->fp_page.isVisible());
        EXPECT_FALSE(view->hw_page.isVisible());
        EXPECT_TRUE(view->is_control_enabled(k_parse_button));
    }

    std::filesystem::path dir;
    page_test::RecordingMessages messages;
    page_test::ScriptedFileDialogs files;
    HostRegistry registry;
    RecordingOutput output{registry};
    // Declared last: it goes first and takes the view with it, as the host's window does.
    QWidget parent;
    CVelmoraDlg* view = nullptr;

private:
    QTemporaryDir temp_;
};

}  // namespace velmora::plugin_test
