// The "Key Map" page of the main view: the window over a KeyMapModel (template 1009,
// Ui::KeyMapPage), with the FP and IR key lists edited in place (EditListCtrl).
//
// The page moves what its lists, combo and edits hold to and from the model and leaves every rule to
// it: load and store of the key tables and user codes, the number base, the .fpkey/.ir1/.ir2 side
// files, and the page's side of key capturing. Callers may rely on this:
// - every message a load, a store, a key-file button or a double click produces is shown by the page
//   itself in a message box it owns;
// - "Start Get Key" posts WindowMessage::start_get_key to the request window given to Create;
//   key_captured and key_capture_ended posted to the page write the capture into its cell (and the
//   editor reopens there) and end capturing on the page's side;
// - SetCapturedKey may be called from any thread (the get-key worker), as may the model's
//   `get_key_running`, `capture_target` and number_base(); everything else runs on the UI thread;
// - a key file's save commits the open editor of its list first; the base switch commits every open
//   editor; store does not commit an open editor.
#pragma once

#include <cstdint>

#include "pages/dialogs/edit_list_ctrl.h"
#include "pages/models/key_map_model.h"
#include "pages/dialogs/page_dlg.h"
#include "res/dialog_templates.h"

class QWidget;

namespace velmora {

class KeyMapDlg : public PageDialog {
public:
    // `model` must outlive the page.
    explicit KeyMapDlg(KeyMapModel& model);

    // Makes the page a hidden child of `parent` (the view's tab control), selects the decimal base
    // and remembers where the page's requests go.
    virtual bool Create(QWidget* parent, Dialog* request_window);

    // The get-key worker's hand-over: the user code in bits 0-15, the key code in bits 16-23. The
    // worker posts key_captured to the page afterwards.
    void SetCapturedKey(CapturedKey captured) { model_.SetCapturedKey(captured); }

    // The view's Clear: capturing is idle again and the button says so.
    void reset_get_key();

    KeyMapModel& model() { return model_; }
    const KeyMapModel& model() const { return model_; }
    EditListCtrl& list(KeyList which) { return which == KeyList::fp ? *fp_list_ : *ir_list_; }

private:
    void OnGetKey();
    void OnNumberBaseChanged();
    void OnListDoubleClick(KeyList list);
    void OnLoadKeyFile(SideFileKind kind);
    void OnSaveKeyFile(SideFileKind kind);
    long OnKeyCaptured();
    long OnGetKeyEnded();

    void pull_controls() override;
    void push_controls() override;
    void push_get_key_caption();

    Ui::KeyMapPage ui_;
    KeyMapModel& model_;
    EditListCtrl* fp_list_ = nullptr;  // children of their tables
    EditListCtrl* ir_list_ = nullptr;
    Dialog* request_window_ = nullptr;
};

}  // namespace velmora
