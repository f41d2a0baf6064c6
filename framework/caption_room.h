// Room for a message box's caption.
//
// Qt sizes a message box by its text and buttons, and leaves the caption only a small margin, while the
// window system's title bar also holds its buttons and an icon: a box as narrow as "Load done!" showed
// its caption "Success" as "Su… ss". Callers may rely on this: after keep_caption_whole(box) the box is
// at least caption_room(caption) pixels wide when it shows, which is the caption in the title bar's
// font and the title bar's own furniture; the text and buttons keep their places.
#pragma once

class QMessageBox;
class QString;

namespace velmora {

int caption_room(const QString& caption);
void keep_caption_whole(QMessageBox& box);

}  // namespace velmora
