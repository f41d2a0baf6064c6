// The "Power Wave Data Config" dialog (template 1004, Ui::PowerWaveDialog): one line of text with the 63
// power-wave values, run modally from the hardware page.
//
// Callers may rely on this: OK writes the 63 words into the target block (the main view's) and closes
// with k_id_ok, or, when the text holds more than 63 values, shows "There is more than 63 group data,
// please check!", writes nothing and stays open; a value that does not fit a word (no digits, below 0,
// above 65535) is refused the same way with its own message ("The 'Power Wave Data 2' value is not
// valid!") and is selected in the edit. Cancel writes nothing and closes with k_id_cancel.
// The dialog keeps its text between openings; the opener sets it before each one. Under the text a plot
// draws the values the edit holds, redrawn at each change of the text (power_wave_plot.h).
#pragma once

#include <string>
#include <utility>

#include "config/config_block.h"
#include "framework/dialog.h"
#include "pages/models/power_wave_model.h"
#include "pages/dialogs/power_wave_plot.h"
#include "res/dialog_templates.h"

class QWidget;

namespace velmora {

class CPowerWaveDlg : public Dialog {
public:
    CPowerWaveDlg();

    // The block that OK writes into; it must outlive the dialog's runs.
    void set_target(ConfigBlock* target) { target_ = target; }
    ConfigBlock* target() const { return target_; }

    // The text the next opening shows.
    void set_text(std::string text) { model_.text = std::move(text); }
    const std::string& text() const { return model_.text; }

    // Shows the text in the edit and runs the dialog modally, owned by `owner`; returns k_id_ok or
    // k_id_cancel.
    int do_modal(QWidget* owner);

    // The plot under the text.
    const PowerWavePlot& plot() const { return *plot_; }

private:
    void OnOK();
    void OnCancel();
    void select_refused_value();

    Ui::PowerWaveDialog ui_;
    PowerWaveModel model_;
    ConfigBlock* target_ = nullptr;
    PowerWavePlot* plot_;  // a child of the dialog
};

}  // namespace velmora
