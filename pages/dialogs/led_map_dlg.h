// The "LED Map" page of the main view: the window over a LedMapModel (template 1010,
// Ui::LedMapPage), with the eight segment buttons drawn as one seven-segment digit and a read-only
// view of the map beside the page's buttons.
//
// The page works on the model it is given (the main view's PageSet holds it) and leaves every rule to
// it: load and store of the map, the .led side file, the pick rules and the running flag. Callers may
// rely on this:
// - the ten pick buttons hand their items to the model (a pick counts only while getting the map);
// - "Start Get LED Map" posts WindowMessage::start_get_led_map to the request window given to Create
//   and becomes "Stop Get LED Map"; stopping posts nothing;
// - the worker delivers its table into model() and then posts WindowMessage::led_map_ended to the
//   page: the page then stops a run that is still on and shows the delivered map;
// - "Load LED MAP" and "Save LED MAP" both ask with the open-style file dialog, which takes a name
//   that does not exist yet and never asks before overwriting; their messages are the side file's
//   ("Load done!", "Finish to save file!", "Can't open binary file!"), shown in boxes the page owns;
// - the map view shows the model's map after every load, .led load and led_map_ended;
// - load, store and the hooks around a model's load and store are PageDialog's.
#pragma once

#include <array>

#include "res/control_ids.h"

#include <cstdint>

#include "framework/file_dialog.h"
#include "pages/models/led_map_model.h"
#include "pages/dialogs/page_dlg.h"
#include "res/dialog_templates.h"

class QWidget;

namespace velmora {

class LedMapView;
class SegmentButtonStyle;

class LEDMapDlg : public PageDialog {
public:
    // `model` must outlive the page.
    explicit LEDMapDlg(LedMapModel& model);

    // Makes the page a hidden child of `parent` (the view's tab control) and remembers where the
    // page's request goes.
    virtual bool Create(QWidget* parent, Dialog* request_window);

    // Enables or disables the thirteen buttons (the ten picks, get, load and save).
    void EnableControls(bool enable);

    // The view's Clear: getting the map is idle again and the button says so.
    void reset_get_led_map();

    LedMapModel& model() { return model_; }
    const LedMapModel& model() const { return model_; }
    const LedMapView& map_view() const { return *map_view_; }

    // The dialog both side-file buttons ask with.
    static FileDialogOptions led_file_dialog_options();

    // The pick buttons' ids, in the order of LedMapModel::k_pick_buttons.
    static constexpr std::array<int, LedMapModel::k_pick_buttons.size()> k_pick_ids{
        led_map_id::k_segment_top_button,         led_map_id::k_segment_upper_right_button,
        led_map_id::k_segment_lower_right_button, led_map_id::k_segment_bottom_button,
        led_map_id::k_segment_lower_left_button,  led_map_id::k_segment_upper_left_button,
        led_map_id::k_segment_middle_button,      led_map_id::k_segment_dot_button,
        led_map_id::k_light_all_button,           led_map_id::k_dim_all_button,
    };

private:
    void OnPick(std::uint8_t item);
    void OnGetLedMap();
    void OnLoadLedMap();
    void OnSaveLedMap();
    long OnLedMapEnded();

    void pull_controls() override {}
    void push_controls() override;
    void push_get_led_map();
    void push_map();
    void push_enabled();

    Ui::LedMapPage ui_;
    LedMapModel& model_;
    Dialog* request_window_ = nullptr;
    SegmentButtonStyle* segment_style_ = nullptr;
    LedMapView* map_view_ = nullptr;
};

}  // namespace velmora
