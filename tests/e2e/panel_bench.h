// The bench of the end-to-end tests: velmora-stb-sim on a pseudo-terminal (unpaced unless a test
// asks for a line's pace, recording what it receives), the host's registry with its "output" and its "com
// connector" opened on the sim's line, and the plug-in's main view on a parent window, the sample image
// parsed and a small client file named through the host's options. Every text the link prints is collected on
// the UI thread.
//
// What a test may rely on: each wait processes the UI's events and gives up after a generous named
// limit (a failure, never a hang); tear-down destroys the view first, so the link's threads are
// joined while the line and the output still exist, then stops the sim.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/com_connector.h"
#include "host/host_registry.h"
#include "host/output_component.h"
#include "host/start_options.h"
#include "link/led_font.h"
#include "platform/drive_path.h"
#include "plugin/velmora_dlg.h"
#include "res/control_ids.h"
#include "tests/e2e/e2e_fakes.h"
#include "tests/plugin/page_dialog_fakes.h"
#include "tests/plugin/view_fixture.h"
#include "tests/stb_sim/sim_process.h"

namespace velmora::e2e_test {

// A whole connection takes about four seconds (the link's own waits); the limit only ends a
// broken run.
inline constexpr std::chrono::seconds k_link_limit{45};
inline constexpr std::chrono::milliseconds k_event_slice{10};
inline constexpr std::chrono::milliseconds k_idle_step{1};
inline constexpr qint32 k_baud = 115200;
inline constexpr std::size_t k_client_size = 3000;
inline constexpr std::size_t k_block_size = 1564;
inline constexpr std::size_t k_record_size = 464;
inline constexpr std::size_t k_led_font_offset = 32;
inline constexpr std::size_t k_led_font_count_offset = 288;
inline constexpr std::size_t k_led_map_size = 256;

using Bytes = std::vector<std::uint8_t>;
using LedMapBytes = std::array<std::uint8_t, k_led_map_size>;

// Processes the UI's events until `done` holds or `limit` passes; whether it holds.
inline bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit = k_link_limit) {
    const auto give_up = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > give_up) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(k_event_slice.count()));
        std::this_thread::sleep_for(k_idle_step);
    }
    return true;
}

// Lets `duration` pass as a user would between two clicks, the UI working meanwhile.
inline void take_a_moment(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, static_cast<int>(k_event_slice.count()));
        std::this_thread::sleep_for(k_idle_step);
    }
}

inline std::size_t count_of(const std::string& haystack, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

// The font's pairs from last to first: a map the box sends that differs from the sample image's.
inline LedMapBytes reversed_font_map() {
    LedMapBytes map{};
    std::size_t at = 0;
    for (auto entry = led_font.rbegin(); entry != led_font.rend(); ++entry) {
        map[at++] = entry->character;
        map[at++] = entry->segments;
    }
    return map;
}

class PanelLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        dir = std::filesystem::path(temp_.path().toStdString());
        record_dir = dir / "record";
        std::filesystem::create_directory(record_dir);
        platform::set_drive_root(dir / "drives");

        image = dir / "sample.bin";
        ASSERT_EQ(plugin_test::run_image_tool({QStringLiteral("sample"), QStringLiteral("-o"),
                                               QString::fromStdString(image.string())}),
                  0);
        client.resize(k_client_size);
        for (std::size_t i = 0; i < client.size(); ++i) {
            client[i] = static_cast<std::uint8_t>(i * 7 + 3);
        }
        client_file = dir / "velmora.bin";
        plugin_test::write_bytes(client_file, client);
        const LedMapBytes map = reversed_font_map();
        box_led_map.assign(map.begin(), map.end());
        plugin_test::write_bytes(dir / "box.led", box_led_map);
        name_client_file(client_file);

        QObject::connect(&output, &OutputComponent::text_arrived, &text_sink_,
                         [this](const QByteArray& text) { texts += text.toStdString(); });
    }

    void TearDown() override {
        // The view first: its link threads end while the line and the output are still there.
        parent.reset();
        registry.set_broadcasting(false);
        connector.close();
        sim.reset();
        registry.unregister_component(&connector);
        registry.unregister_component(&output);
        registry.unregister_component(start_options_.get());
        platform::set_drive_root({});
    }

    // The client file the host hands the plug-in (velmora-host --client); the view reads it when made.
    void name_client_file(const std::filesystem::path& path) {
        registry.unregister_component(start_options_.get());
        start_options_ =
            std::make_unique<StartOptionsComponent>(&registry, StartOptions{{}, false, path.string()});
    }

    // Starts the box with `extra` options after the usual ones and, unless told not to, opens the
    // host's line on it, both at line_baud; the box paces its line only when paced_line is set.
    // sim_line is its path.
    void start_sim(const std::vector<std::string>& extra = {}, bool open_line = true) {
        std::vector<std::string> args{"--baud",    paced_line ? std::to_string(line_baud) : "0",
                                      "--record",  record_dir.string(),
                                      "--led-map", (dir / "box.led").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<stb_sim::test::SimProcess>(args, dir / "sim.log");
        sim_line = sim->first_line();
        ASSERT_FALSE(sim_line.empty()) << "the simulator named no line: " << sim_log();
        if (open_line) {
            QString error;
            ASSERT_TRUE(connector.open(QString::fromStdString(sim_line), line_baud, error))
                << error.toStdString();
        }
    }

    // The view as a test makes it: on the parent window with the host's registry.
    void make_view() {
        parent = std::make_unique<QWidget>();
        auto* made = new CVelmoraDlg(&registry);
        ASSERT_TRUE(made->Create(parent.get()));
        show_parent();
        adopt_view(made);
    }
    void show_parent() {
        parent->resize(1000, 800);
        parent->show();
    }
    void adopt_view(CVelmoraDlg* made) {
        view = made;
        ASSERT_NE(view->link_agent, nullptr);
        status_history =
            std::make_unique<LabelHistory>(view->control_as<QLabel>(main_form_id::k_upg_info_label));
    }

    void parse() {
        files.answers.push_back(image.string());
        click(view, main_form_id::k_browse_input_button);
        click(view, main_form_id::k_parse_button);
        ASSERT_FALSE(view->is_control_enabled(main_form_id::k_parse_button)) << "Parse failed";
    }

    // "Connect with Panel", then the box's reset.
    void connect_and_reset() {
        click(view, main_form_id::k_connect_button);
        sim->type("reset\n");
    }

    void connect_and_expect_connected() {
        ASSERT_NO_FATAL_FAILURE(connect_and_reset());
        ASSERT_TRUE(wait_until([this] { return connected(); }))
            << "not connected; texts: " << texts << "\nsim: " << sim_log();
    }

    bool connected() const {
        return view->panel_connected.load() == 1 && link_state() == LinkState::idle &&
               !view->link_agent->connecting();
    }
    std::string link_shown() const { return view->link_state_label()->text().toStdString(); }
    std::string status_shown() { return view->control_text(main_form_id::k_upg_info_label); }
    velmora::LinkState link_state() const { return view->link_agent->link_state(); }

    static void click(Dialog* dialog, int id) { dialog->control_as<QAbstractButton>(id)->click(); }

    bool wait_for_text(const std::string& text, std::size_t count = 1) {
        return wait_until([&] { return count_of(texts, text) >= count; });
    }
    bool wait_for_sim_log(const std::string& text) {
        return wait_until([&] { return sim_log().find(text) != std::string::npos; });
    }
    // Waits until the link's test or send-configuration thread has ended.
    bool wait_link_thread_ended() {
        return wait_until([this] { return !view->link_agent->link_thread_running(); });
    }

    std::string sim_log() const {
        const Bytes bytes = plugin_test::read_bytes(dir / "sim.log");
        return {bytes.begin(), bytes.end()};
    }

    // A file the box recorded; empty when it did not come within the limit.
    Bytes recorded(const std::string& name) {
        const std::filesystem::path path = record_dir / name;
        if (!wait_until([&] { return std::filesystem::exists(path); })) {
            return {};
        }
        return plugin_test::read_bytes(path);
    }

    Bytes view_block() const { return {view->config.bytes.begin(), view->config.bytes.end()}; }

    qint32 line_baud = k_baud;
    bool paced_line = false;
    std::filesystem::path dir;
    std::filesystem::path record_dir;
    std::filesystem::path image;
    std::filesystem::path client_file;
    std::string sim_line;
    Bytes client;
    Bytes box_led_map;
    std::string texts;

    ScriptedMessages messages;
    page_test::ScriptedFileDialogs files;
    HostRegistry registry;
    OutputComponent output{&registry};
    ComConnector connector{&registry};
    std::unique_ptr<stb_sim::test::SimProcess> sim;
    std::unique_ptr<QWidget> parent;
    CVelmoraDlg* view = nullptr;
    std::unique_ptr<LabelHistory> status_history;

private:
    std::unique_ptr<StartOptionsComponent> start_options_;
    QObject text_sink_;
    QTemporaryDir temp_;
};

}  // namespace velmora::e2e_test
