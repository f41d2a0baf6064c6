// The dialog templates, compiled by uic from the Designer forms beside this file. Include this header,
// never a ui_dialog_*.h directly: a target with AUTOUIC that includes a ui_*.h looks for the .ui
// file beside its own sources and stops the build when it is not there.
//
// Each template gives a class Ui::Dialog<id> (Ui::Dialog1000, Ui::Dialog1004, Ui::Dialog1005,
// Ui::Dialog1007, Ui::Dialog1009, Ui::Dialog1010) whose setupUi builds the template's controls on a
// QWidget (a QDialog for 1004). Callers may rely on this:
// - every control carries the integer property "ctrlId" with its fixed id and is named ctrl_<id>;
//   static texts and group boxes that have no id of their own carry -1 and a descriptive name;
// - texts, combo items (in their template order) and read-only edits are those of the template; combos
//   start without a selection, lists, trees and tab controls start empty (the dialogs fill them);
// - template 1000 keeps its layout in pixels (dialog units x 1.5, y 1.625) on a fixed 918 x 735 form;
//   the pages (1005, 1007, 1009, 1010) and the power wave dialog (1004) use Qt layouts and fill
//   whatever rectangle they are given;
// - template 1005 shows icons 1011 and 1012: call velmora_init_resources() (res/resources.h) first.
#pragma once

#include "ui_dialog_1000.h"
#include "ui_dialog_1004.h"
#include "ui_dialog_1005.h"
#include "ui_dialog_1007.h"
#include "ui_dialog_1009.h"
#include "ui_dialog_1010.h"
