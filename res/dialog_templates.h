// The dialog templates, compiled by uic from the Designer forms beside this file, and the function that
// gives their controls their fixed ids. Include this header, never a generated ui_*.h directly: a target
// with AUTOUIC that includes a ui_*.h looks for the .ui file beside its own sources and stops the build
// when it is not there.
//
// The templates, by the system's template id:
//   1000 Ui::MainForm (main_form.ui)              the main view's form
//   1004 Ui::PowerWaveDialog (power_wave_dialog.ui) "Power Wave Data Config", built on a QDialog
//   1005 Ui::FrontPanelPage (front_panel_page.ui)  the "Front Panel" page
//   1007 Ui::HwInfoPage (hw_info_page.ui)          the "HW Info" page
//   1009 Ui::KeyMapPage (key_map_page.ui)          the "Key Map" page
//   1010 Ui::LedMapPage (led_map_page.ui)          the "LED Map" page
//
// Callers may rely on this:
// - setupUi builds the template's controls on a QWidget (a QDialog for the power wave dialog); each
//   control is a typed member named for what it is (parse_button, fp_type_combo, ...);
// - set_control_ids(ui), called after setupUi, gives every control that has a fixed id the integer
//   property "ctrlId" with it (res/control_ids.h, the template's table); static texts and frames get none;
// - texts, combo items (in their template order) and read-only edits are those of the template; combos
//   start without a selection, lists, trees and tab controls start empty (the dialogs fill them);
// - the main form keeps its layout in pixels (dialog units x 1.5, y 1.625) on a fixed 918 x 735 form,
//   but for the two path labels, which take their group's margin so that wider desktop fonts draw
//   them whole, and the fields beside them, which start further right and end where they did; the
//   pages and the power wave dialog use Qt layouts and fill whatever rectangle they are given;
// - every label names the field it is the buddy of ("upg info:", a status line, names none); the
//   controls that show no text (the page tree, the lamp arrows, the key lists) carry accessible
//   names; "Project Type:" takes no typed text into its list;
// - the front panel page shows the lamp icons: call velmora_init_resources() (res/resources.h) first.
#pragma once

#include "ui_front_panel_page.h"
#include "ui_hw_info_page.h"
#include "ui_key_map_page.h"
#include "ui_led_map_page.h"
#include "ui_main_form.h"
#include "ui_power_wave_dialog.h"

namespace velmora {

void set_control_ids(Ui::MainForm& ui);
void set_control_ids(Ui::PowerWaveDialog& ui);
void set_control_ids(Ui::FrontPanelPage& ui);
void set_control_ids(Ui::HwInfoPage& ui);
void set_control_ids(Ui::KeyMapPage& ui);
void set_control_ids(Ui::LedMapPage& ui);

}  // namespace velmora
