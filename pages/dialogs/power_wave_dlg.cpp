#include "pages/dialogs/power_wave_dlg.h"

#include <QLineEdit>
#include <QVBoxLayout>
#include <QtDebug>

#include "framework/message_box.h"
#include "res/control_ids.h"

namespace velmora {

using namespace power_wave_id;

// The framework ends a modal dialog by these buttons' ids.
static_assert(k_ok_button == k_id_ok && k_cancel_button == k_id_cancel);

CPowerWaveDlg::CPowerWaveDlg() : plot_(new PowerWavePlot(this)) {
    build_from(ui_, &set_control_ids);
    ui_.dialog_layout->insertWidget(ui_.dialog_layout->indexOf(ui_.power_wave_edit) + 1, plot_);
    // Every change of the text, typed or set before an opening, redraws the plot.
    QObject::connect(ui_.power_wave_edit, &QLineEdit::textChanged, plot_, [this](const QString& text) {
        plot_->set_points(power_wave_points(text.toStdString()));
    });
    plot_->set_points(power_wave_points(""));
    on_clicked(k_ok_button, [this] { OnOK(); });
    on_clicked(k_cancel_button, [this] { OnCancel(); });
    bind_text(k_power_wave_edit, model_.text);
}

int CPowerWaveDlg::do_modal(QWidget* owner) {
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
        select_refused_value();
        return;  // the user corrects the text or cancels
    }
    end_dialog(k_id_ok);
}

void CPowerWaveDlg::select_refused_value() {
    const auto place = refused_power_wave_value(model_.text);
    if (!place) {
        return;
    }
    const std::string_view text = model_.text;
    const std::string_view value = power_wave_tokens(text)[*place];
    // The edit counts in UTF-16 units, the model in UTF-8 bytes.
    const auto utf16_length = [](std::string_view bytes) {
        return static_cast<int>(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).size());
    };
    const auto start = static_cast<std::size_t>(value.data() - text.data());
    ui_.power_wave_edit->setFocus();
    ui_.power_wave_edit->setSelection(utf16_length(text.substr(0, start)), utf16_length(value));
}

void CPowerWaveDlg::OnCancel() {
    ui_.power_wave_edit->setText(QString::fromStdString(model_.cancel()));
    end_dialog(k_id_cancel);
}

}  // namespace velmora
