// The plug-in's main view: the form (template 1000, Ui::MainForm) that owns the configuration block,
// the loaded flash image with its Parse, Generate and Clear, the key-script unpacker and the four pages.
//
// Callers may rely on this:
// - the view is built by Create, not by the constructor; Create leaves it in the Initial state: only
//   the project type, the "Input" group with its label, edit and buttons are visible, the page tree,
//   the tab control with every page, the link and output controls are hidden, "Parse" is enabled;
// - a successful Parse leads to the Parsed state (everything shown, the front panel page visible,
//   "Parse" disabled, the focus on the page tree); only Clear leads back; a failed Parse changes no
//   state;
// - Tab reads the form top to bottom and left to right, through the shown page only;
// - every failure is told in a message box owned by the view, with the texts users know;
// - SetUpgInfo and IsLinkOnline may be called from any thread; SetUpgInfo from a worker waits until
//   the UI thread has changed the label and the button. Everything else runs on the UI thread;
// - the members below are the view's shared state: the link agent and the pages reach them directly.
//   `link_online` and `panel_connected` are atomics for that reason;
// - `pages` holds the four page models, the only ones: the four page dialogs work on them, and
//   LoadPages/StorePages run in its order, as velmora-image does.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/config_block.h"
#include "config/key_script_buffer.h"
#include "framework/dialog.h"
#include "link/agent/link_agent.h"
#include "pages/dialogs/fp_dlg.h"
#include "pages/dialogs/hw_dlg.h"
#include "pages/dialogs/key_map_dlg.h"
#include "pages/dialogs/led_map_dlg.h"
#include "pages/models/page_message.h"
#include "pages/models/page_set.h"
#include "plugin/transfer_progress.h"
#include "plugin/view_link_owner.h"
#include "res/dialog_templates.h"
#include "script/process_runner.h"

class QLabel;
class QTabWidget;
class QTreeWidget;

namespace velmora {

class component_registry;

class CVelmoraDlg : public Dialog, private PageSet::Hooks {
    Q_OBJECT

public:
    // The page tree's root items, in tree order; ShowPage compares with these.
    static constexpr char k_front_panel[] = "Front Panel";
    static constexpr char k_key_map[] = "Key Map";
    static constexpr char k_hw_info[] = "HW Info";
    static constexpr char k_led_map[] = "LED Map";

    explicit CVelmoraDlg(velmora::component_registry* registry);
    ~CVelmoraDlg() override;

    // Builds the form as a child of `parent` and shows it: the controls, the page tree, the pages in
    // the tab control, the Initial state. False when the form could not be built (nothing is made).
    bool Create(QWidget* parent);

    // The link status line; see upg_info.h for the table. Safe from any thread.
    void SetUpgInfo(UpgStatus status, std::int32_t current, std::int32_t total);
    // The bar beside the status line that follows long sends; report() is safe from any thread.
    TransferProgress* transfer_progress() const { return transfer_progress_; }
    // Beside the status line: offline, waiting for the box's reset, connecting, connected or port
    // closed (link_status.h). show_link_state() brings it up to date; UI thread only.
    QLabel* link_state_label() const { return link_state_label_; }
    void show_link_state();
    bool IsLinkOnline() const { return link_online.load(); }

    // Shows the page named by a tree item (compared without regard to case); any other name shows
    // the front panel page.
    void ShowPage(const std::string& name);
    // Shows or hides the page tree, the tab control, the link controls and the output area together.
    void ShowMainControls(bool show);

    // The page fields into `config` and back, in PageSet's order (front panel, hardware, key map, LED
    // map); each page's dialog shows the page's messages. StorePages returns whether every page's
    // check passed: Generate and "Send Config to Panel" go no further when one failed.
    void LoadPages();
    bool StorePages();

    // --- Shared state, in the order the link agent and the pages expect it ------------------------

    // Made by Create when the host gave a registry; null otherwise, and then every step that would
    // need it is skipped.
    velmora::link_agent* link_agent = nullptr;
    velmora::component_registry* component_registry = nullptr;
    std::string output_path;  // output_path_edit
    std::string input_path;   // input_path_edit
    std::atomic<bool> link_online{false};
    // The last successful Parse's image, held whole: Generate writes it whatever happened to the
    // file on disk since, and no descriptor of the file outlives the Parse.
    std::vector<std::uint8_t> image;
    QTabWidget* tab = nullptr;
    // Made before the dialogs, which work on its models.
    PageSet pages;
    FPDlg fp_page{pages.fp};
    HWDlg hw_page{pages.hw};
    KeyMapDlg key_map_page{pages.key_map};
    LEDMapDlg led_map_page{pages.led_map};
    std::atomic<bool> panel_connected{false};
    ConfigBlock config;
    KeyScriptBuffer script_buf;
    std::unique_ptr<ProcessRunner> runner;

private:
    // PageSet's hooks: the page's dialog around each load and store.
    void before_load(PageModel& page) override;
    void after_load(PageModel& page, const PageMessages& messages) override;
    void before_store(PageModel& page) override;
    void after_store(PageModel& page, const std::optional<PageMessage>& failed) override;
    // The dialog over one of the set's models.
    PageDialog& dialog_for(PageModel& page);

    void SetupPages();
    void OnTreeSelChanged();
    void OnBrowseInput();
    void OnBrowseOutput();
    void OnParse();
    void OnGenerate();
    void OnClear();
    void OnConnect();
    void OnSendConfig();

    // The link's owner and agent: made with the form, stopped with it (their threads joined) and
    // then kept until the process ends, as the host's registry may still name the agent.
    void make_link_agent();
    void retire_link_agent();
    void place_link_widgets();

    Ui::MainForm ui_;
    TransferProgress* transfer_progress_ = nullptr;
    QLabel* link_state_label_ = nullptr;
    std::unique_ptr<ViewLinkOwner> link_owner_;
    std::unique_ptr<velmora::link_agent> agent_;
};

}  // namespace velmora
