// The "HW Info" page of the main view: the window over an HwPageModel (template 1007, Ui::HwInfoPage),
// and the opener of the power wave dialog.
//
// The page works on the model it is given (the main view's PageSet holds it) and moves what its
// combos, check boxes and edits hold to and from that model, leaving every rule to it: load and store
// of the hardware options, the .hw side file, which controls follow "Scart Enable" and "Power Off
// Disp:", and the "Default language:" list. Callers may rely on this:
// - every message a load, a store or a side-file button produces is shown by the page itself in a
//   message box it owns; load and store also return them;
// - "Test Power Wave" opens one CPowerWaveDlg, made on first use and kept until the page goes, with the
//   power-wave text of the page's last load; its OK writes into the block given to
//   set_power_wave_target (the main view's configuration block), never into the page;
// - the page posts nothing;
// - a caller that runs the model's load or store itself (PageSet) calls before_load, after_load,
//   before_store and after_store around it; load and store below do exactly that.
#pragma once

#include <memory>
#include <optional>

#include "config/config_block.h"
#include "framework/dialog.h"
#include "pages/hw_page_model.h"
#include "pages/page_message.h"
#include "pages/power_wave_dlg.h"
#include "res/dialog_templates.h"

class QWidget;

namespace velmora {

class HWDlg : public Dialog {
public:
    // `model` must outlive the page.
    explicit HWDlg(HwPageModel& model);
    ~HWDlg() override;

    // Makes the page a hidden child of `parent` (the view's tab control).
    bool Create(QWidget* parent);

    // Shows the hardware options of `block` and keeps its power-wave words as the dialog's text.
    PageMessages load(ConfigBlock block);
    // Writes the hardware options into `block` in place; a failed check is shown and returned.
    std::optional<PageMessage> store(ConfigBlock& block);

    // Around a load of the model: the controls into the model before (a flag that the block holds
    // neither code for keeps what the user set); after, the model into the controls, then the messages.
    void before_load();
    void after_load(const PageMessages& messages);
    // Around a store: the controls into the model before; a failed check shown after.
    void before_store();
    void after_store(const std::optional<PageMessage>& failed);

    // The block the power wave dialog writes into; without one "Test Power Wave" opens nothing.
    void set_power_wave_target(ConfigBlock* config);

    // The power wave dialog, null before the first "Test Power Wave".
    CPowerWaveDlg* power_wave_dialog() const { return power_wave_dlg_.get(); }

    HwPageModel& model() { return model_; }
    const HwPageModel& model() const { return model_; }

private:
    void OnScartEnable();
    void OnTestPowerWave();
    void OnLoadHwConfig();
    void OnSaveHwConfig();
    void OnPowerOffDispChanged();
    void OnLanguageClicked(std::size_t code);

    // Controls into the model, before the model reads them.
    void pull_controls();
    // The model into the controls, after the model changed them.
    void push_all();
    void push_scart_controls();
    void push_test_power_wave();
    void push_default_languages();

    Ui::HwInfoPage ui_;
    HwPageModel& model_;
    ConfigBlock* power_wave_target_ = nullptr;
    std::unique_ptr<CPowerWaveDlg> power_wave_dlg_;
};

}  // namespace velmora
