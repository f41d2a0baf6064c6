#include "res/dialog_templates.h"

#include <QWidget>

#include "framework/dialog.h"
#include "res/control_ids.h"

namespace velmora {

namespace {

void set_id(QWidget* control, int id) {
    control->setProperty(k_ctrl_id_property, id);
}

}  // namespace

// Each row of a template's table puts its id on its member.
#define VELMORA_SET_CONTROL_ID(member, id) set_id(ui.member, id);

void set_control_ids(Ui::MainForm& ui) {
    VELMORA_MAIN_FORM_CONTROLS(VELMORA_SET_CONTROL_ID)
}

void set_control_ids(Ui::PowerWaveDialog& ui) {
    VELMORA_POWER_WAVE_DIALOG_CONTROLS(VELMORA_SET_CONTROL_ID)
}

void set_control_ids(Ui::FrontPanelPage& ui) {
    VELMORA_FRONT_PANEL_PAGE_CONTROLS(VELMORA_SET_CONTROL_ID)
}

void set_control_ids(Ui::HwInfoPage& ui) {
    VELMORA_HW_INFO_PAGE_CONTROLS(VELMORA_SET_CONTROL_ID)
}

void set_control_ids(Ui::KeyMapPage& ui) {
    VELMORA_KEY_MAP_PAGE_CONTROLS(VELMORA_SET_CONTROL_ID)
}

void set_control_ids(Ui::LedMapPage& ui) {
    VELMORA_LED_MAP_PAGE_CONTROLS(VELMORA_SET_CONTROL_ID)
}

#undef VELMORA_SET_CONTROL_ID

}  // namespace velmora
