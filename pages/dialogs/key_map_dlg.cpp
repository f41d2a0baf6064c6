#include "pages/dialogs/key_map_dlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "framework/window_message.h"
#include "link/window_messages.h"
#include "res/control_ids.h"

namespace velmora {

namespace {

using namespace key_map_id;

constexpr int k_decimal_item = 0;

}  // namespace

KeyMapDlg::KeyMapDlg(KeyMapModel& model) : PageDialog(model), model_(model) {
    build_from(ui_, &set_control_ids);
    fp_list_ = new EditListCtrl(ui_.fp_key_list, *model_.key_list(KeyList::fp));
    ir_list_ = new EditListCtrl(ui_.ir_key_list, *model_.key_list(KeyList::ir));

    on_clicked(k_get_key_button, [this] { OnGetKey(); });
    on_selection_changed(k_key_value_base_combo, [this] { OnNumberBaseChanged(); });
    on_notify(k_fp_key_list, NotifyKind::double_click, [this] { OnListDoubleClick(KeyList::fp); });
    on_notify(k_ir_key_list, NotifyKind::double_click, [this] { OnListDoubleClick(KeyList::ir); });
    on_clicked(k_load_fp_key_button, [this] { OnLoadKeyFile(SideFileKind::fpkey); });
    on_clicked(k_save_fp_key_button, [this] { OnSaveKeyFile(SideFileKind::fpkey); });
    on_clicked(k_load_ir1_key_button, [this] { OnLoadKeyFile(SideFileKind::ir1); });
    on_clicked(k_save_ir1_key_button, [this] { OnSaveKeyFile(SideFileKind::ir1); });
    on_clicked(k_load_ir2_key_button, [this] { OnLoadKeyFile(SideFileKind::ir2); });
    on_clicked(k_save_ir2_key_button, [this] { OnSaveKeyFile(SideFileKind::ir2); });
    on_message(message_number(WindowMessage::key_captured), [this] { return OnKeyCaptured(); });
    on_message(message_number(WindowMessage::key_capture_ended), [this] { return OnGetKeyEnded(); });
}

bool KeyMapDlg::Create(QWidget* parent, Dialog* request_window) {
    create_child(parent);
    combo_select(ui_.key_value_base_combo, k_decimal_item);
    request_window_ = request_window;
    push_controls();
    return true;
}

void KeyMapDlg::reset_get_key() {
    model_.stop_get_key();
    push_get_key_caption();
}

void KeyMapDlg::OnGetKey() {
    const auto request = model_.press_get_key_button();
    push_get_key_caption();
    if (request) {
        post_message(request_window_, static_cast<int>(*request));
    }
}

void KeyMapDlg::OnNumberBaseChanged() {
    // Every open editor goes into its cell first (a capture may have reopened the other list's); a
    // refused text would read as another code in the new base, so the base stays until it is mended.
    for (const KeyList which : {model_.active_list(), KeyList::fp, KeyList::ir}) {
        if (which != KeyList::none && !list(which).commit_or_tell()) {
            combo_select(ui_.key_value_base_combo, model_.number_base_index());
            return;
        }
    }
    pull_controls();
    model_.select_number_base(ui_.key_value_base_combo->currentIndex());
    push_controls();
}

void KeyMapDlg::OnListDoubleClick(KeyList which) {
    // The other list's editor is committed by its widget, which holds the typed text; the model then
    // finds it closed.
    const KeyList other = which == KeyList::fp ? KeyList::ir : KeyList::fp;
    if (model_.active_list() == other && !list(other).commit_or_tell()) {
        list(which).cancel_editor();  // the refused text keeps its editor, the one open
        return;
    }
    if (const auto message = model_.on_list_double_click(which)) {
        show_messages({*message});
    }
}

void KeyMapDlg::OnLoadKeyFile(SideFileKind kind) {
    load_side_file_button(kind);
}

void KeyMapDlg::OnSaveKeyFile(SideFileKind kind) {
    if (list(KeyMapModel::editor_list_for(kind)).commit_or_tell()) {
        save_side_file_button(kind);
    }
}

long KeyMapDlg::OnKeyCaptured() {
    // What the user typed meanwhile goes into the model first, so that showing the capture keeps it.
    pull_controls();
    model_.on_key_captured();
    push_controls();
    return 0;
}

long KeyMapDlg::OnGetKeyEnded() {
    model_.on_get_key_ended();
    push_get_key_caption();
    return 0;
}

void KeyMapDlg::pull_controls() {
    model_.set_user_code_text(Remote::ir1, ui_.ir1_user_code_edit->text().toStdString());
    model_.set_user_code_text(Remote::ir2, ui_.ir2_user_code_edit->text().toStdString());
    fp_list_->pull_editor_text();
    ir_list_->pull_editor_text();
}

void KeyMapDlg::push_controls() {
    combo_select(ui_.key_value_base_combo, model_.number_base_index());
    ui_.ir1_user_code_edit->setText(QString::fromStdString(model_.user_code_text(Remote::ir1)));
    ui_.ir2_user_code_edit->setText(QString::fromStdString(model_.user_code_text(Remote::ir2)));
    fp_list_->show_model();
    ir_list_->show_model();
    push_get_key_caption();
}

void KeyMapDlg::push_get_key_caption() {
    ui_.get_key_button->setText(QString::fromStdString(model_.get_key_caption()));
}

}  // namespace velmora
