// Where the main view goes inside the window the host gives the plug-in.
//
// The form has a fixed size, so it must scroll when the host's pane is smaller. A host that puts its
// plug-in pane in a scroll area already gets the view straight in that pane; any other pane gets a
// scroll area of the view's own, laid out to fill it. Callers may rely on: the answer is null when
// `parent` (or one of its ancestors) scrolls already; otherwise it is a new scroll area, a child of
// `parent` placed in `parent`'s layout (a vertical layout without margins is made when it has none).
#pragma once

class QScrollArea;
class QWidget;

namespace velmora {

QScrollArea* make_scroll_area_for_view(QWidget* parent);

}  // namespace velmora
