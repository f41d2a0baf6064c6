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
//   power-wave text of the page's last load, or, after an OK, of the values that OK stored; its OK
//   writes into the block given to set_power_wave_target (the main view's configuration block);
// - the page posts nothing;
// - load, store and the hooks around a model's load and store are PageDialog's; a load first pulls
//   the controls, so a flag that the block holds neither code for keeps what the user set.
#pragma once

#include <memory>
#include <optional>

#include "config/config_block.h"
#include "pages/models/hw_page_model.h"
#include "pages/dialogs/page_dlg.h"
#include "pages/models/page_message.h"
#include "pages/dialogs/power_wave_dlg.h"
#include "res/dialog_templates.h"

class QWidget;

namespace velmora {

class HWDlg : public PageDialog {
public:
    // `model` must outlive the page.
    explicit HWDlg(HwPageModel& model);
    ~HWDlg() override;

    // Makes the page a hidden child of `parent` (the view's tab control).
    bool Create(QWidget* parent);

    void before_load() override;

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

    void pull_controls() override;
    void push_controls() override;
    void push_scart_controls();
    void push_test_power_wave();
    void push_default_languages();

    Ui::HwInfoPage ui_;
    HwPageModel& model_;
    ConfigBlock* power_wave_target_ = nullptr;
    std::unique_ptr<CPowerWaveDlg> power_wave_dlg_;
};

}  // namespace velmora
