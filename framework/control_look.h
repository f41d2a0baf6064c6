// How a form's controls look and read, beyond what their templates say, the same for every form.
//
// Callers may rely on this:
// - `show_read_only(root)`: every read-only line edit inside `root` is drawn on the window's colour
//   instead of the base colour of fields that take typing, so it reads as read-only;
// - `keep_places_when_hidden(root)`: every widget that a layout places inside `root` keeps its room
//   while hidden, so showing or hiding one control never moves the others (as on a form with fixed
//   positions);
// - `name_fields_after_labels(root)`: a field that a label is the buddy of, and that has no
//   accessible name of its own, is named for assistive technology after the label's text (without
//   its mnemonic '&' and a closing ':'). Labels keep their texts.
// Each may run again over the same widgets; it changes nothing more.
#pragma once

class QWidget;

namespace velmora {

void show_read_only(QWidget* root);
void keep_places_when_hidden(QWidget* root);
void name_fields_after_labels(QWidget* root);

}  // namespace velmora
