#include "pages/dialogs/led_map_dlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <array>
#include <string_view>

#include "framework/window_message.h"
#include "link/window_messages.h"
#include "pages/dialogs/led_map_view.h"
#include "pages/dialogs/segment_button_style.h"
#include "pages/dialogs/side_file_dlg.h"
#include "res/control_ids.h"

namespace velmora {

namespace {

using namespace led_map_id;

constexpr std::size_t k_segment_buttons = 8;

// Where each segment sits in the digit, for assistive technology: the buttons' captions are numbers.
constexpr std::array<const char*, k_segment_buttons> k_segment_places{
    "top bar", "upper right", "lower right", "bottom bar", "lower left", "upper left", "middle bar", "dot",
};

constexpr std::array<int, 3> k_action_ids{k_get_led_map_button, k_load_led_map_button, k_save_led_map_button};

}  // namespace

LEDMapDlg::LEDMapDlg(LedMapModel& model) : PageDialog(model), model_(model) {
    build_from(ui_, &set_control_ids);

    for (std::size_t i = 0; i < k_pick_ids.size(); ++i) {
        const std::uint8_t item = LedMapModel::k_pick_buttons[i].item;
        on_clicked(k_pick_ids[i], [this, item] { OnPick(item); });
    }
    on_clicked(k_get_led_map_button, [this] { OnGetLedMap(); });
    on_clicked(k_load_led_map_button, [this] { OnLoadLedMap(); });
    on_clicked(k_save_led_map_button, [this] { OnSaveLedMap(); });
    on_message(message_number(WindowMessage::led_map_ended), [this] { return OnLedMapEnded(); });

    // A child made after the template's controls: children go in the order they came, so the
    // buttons are gone before their style.
    segment_style_ = new SegmentButtonStyle();
    segment_style_->setParent(this);
    for (std::size_t i = 0; i < k_segment_buttons; ++i) {
        QWidget* button = control(k_pick_ids[i]);
        button->setStyle(segment_style_);
        const std::string_view number = LedMapModel::k_pick_buttons[i].text;
        button->setAccessibleDescription(QStringLiteral("Segment %1, %2")
                                             .arg(QLatin1StringView(number.data(), number.size()),
                                                  QLatin1StringView(k_segment_places[i])));
    }

    // Right of the action column, so the pick column, the digit and the actions keep their order.
    map_view_ = new LedMapView(ui_.group_led_map);
    ui_.group_layout->addWidget(map_view_, 0, Qt::AlignTop);
    push_map();
}

bool LEDMapDlg::Create(QWidget* parent, Dialog* request_window) {
    create_child(parent);
    request_window_ = request_window;
    return true;
}

void LEDMapDlg::EnableControls(bool enable) {
    model_.EnableControls(enable);
    push_enabled();
}

void LEDMapDlg::reset_get_led_map() {
    model_.stop_get_led_map();
    push_get_led_map();
}

FileDialogOptions LEDMapDlg::led_file_dialog_options() {
    FileDialogOptions options = side_file_dialog_options(SideFileKind::led);
    // Both buttons use the open-style dialog, which never asks before a file is overwritten.
    options.overwrite_prompt = false;
    return options;
}

void LEDMapDlg::OnPick(std::uint8_t item) {
    model_.press_pick_button(item);
}

void LEDMapDlg::OnGetLedMap() {
    const auto request = model_.press_get_led_map_button();
    push_get_led_map();
    if (request) {
        post_message(request_window_, static_cast<int>(*request));
    }
}

void LEDMapDlg::OnLoadLedMap() {
    const auto path = open_file_dialog(this, led_file_dialog_options());
    if (!path) {
        return;
    }
    const PageMessages messages = load_side_file(model_, SideFileKind::led, *path);
    push_map();
    show_messages(messages);
}

void LEDMapDlg::OnSaveLedMap() {
    const auto path = open_file_dialog(this, led_file_dialog_options());
    if (!path) {
        return;
    }
    show_messages(save_side_file(model_, SideFileKind::led, *path));
}

long LEDMapDlg::OnLedMapEnded() {
    model_.on_led_map_ended();
    push_get_led_map();
    push_map();
    return 0;
}

void LEDMapDlg::push_controls() {
    push_get_led_map();
    push_map();
    push_enabled();
}

void LEDMapDlg::push_enabled() {
    for (const int id : k_pick_ids) {
        enable_control(id, model_.controls_enabled());
    }
    for (const int id : k_action_ids) {
        enable_control(id, model_.controls_enabled());
    }
}

void LEDMapDlg::push_get_led_map() {
    ui_.get_led_map_button->setText(QString::fromStdString(model_.get_led_map_caption()));
}

void LEDMapDlg::push_map() {
    map_view_->set_map(model_.led_map());
}

}  // namespace velmora
