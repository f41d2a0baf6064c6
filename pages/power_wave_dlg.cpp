#include "pages/power_wave_dlg.h"

#include <QtDebug>

#include "framework/message_box.h"
#include "res/dialog_templates.h"

namespace velmora {

namespace {

constexpr int k_id_power_wave_data = 1145;

}  // namespace

CPowerWaveDlg::CPowerWaveDlg() {
    build_from<Ui::Dialog1004>();
    on_clicked(k_id_ok, [this] { OnOK(); });
    on_clicked(k_id_cancel, [this] { OnCancel(); });
    bind_text(k_id_power_wave_data, model_.text);
}

int CPowerWaveDlg::DoModal(QWidget* owner) {
    update_data(false);
    return run_modal(owner);
}

void CPowerWaveDlg::OnOK() {
    update_data(true);
    // Without a target nobody said which block the values belong to: they are checked as usual but
    // land nowhere.
    ConfigBlock nowhere;
    if (target_ == nullptr) {
        qCritical("CPowerWaveDlg: OK without a target block; nothing is stored");
    }
    if (auto refused = model_.ok(target_ != nullptr ? *target_ : nowhere)) {
        message_box(this, refused->text, refused->caption);
        return;  // the user corrects the text or cancels
    }
    end_dialog(k_id_ok);
}

void CPowerWaveDlg::OnCancel() {
    set_control_text(k_id_power_wave_data, model_.cancel());
    end_dialog(k_id_cancel);
}

}  // namespace velmora
