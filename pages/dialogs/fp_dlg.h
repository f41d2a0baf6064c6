// The "Front Panel" page of the main view: the window over an FpPageModel (template 1005,
// Ui::FrontPanelPage).
//
// The page works on the model it is given (the main view's PageSet holds it) and moves what its combos
// and edits hold to and from that model, leaving every rule to it:
// load and store of the front panel fields, the .fp side file and the page's side of the
// lamp-position test. Callers may rely on this:
// - every message a load, a store or a side-file button produces is shown by the page itself in a
//   message box it owns (an empty caption is the application's caption); load and store also return
//   them, so the caller need not show them again;
// - requests go to the request window given to Create as posted messages (WindowMessage's
//   start_lamp_test, light_all, dim_all); lamp_test_ended posted to the page ends the lamp test on its
//   side;
// - `model()` is the live state: the lamp test's thread reads its `lamp_test_running` and
//   `lamp_key_request` atomics, which the page writes only on the UI thread, waking the thread after;
// - load, store and the hooks around a model's load and store are PageDialog's.
#pragma once

#include <optional>

#include "config/config_block.h"
#include "pages/models/fp_page_model.h"
#include "pages/dialogs/page_dlg.h"
#include "pages/models/page_message.h"
#include "res/dialog_templates.h"

class QWidget;

namespace velmora {

class FPDlg : public PageDialog {
public:
    // `model` must outlive the page.
    explicit FPDlg(FpPageModel& model);

    // Makes the page a hidden child of `parent` (the view's tab control), puts the arrow icons on the
    // left and right lamp keys, which show them without a caption, and remembers where the page's
    // requests go.
    virtual bool Create(QWidget* parent, Dialog* request_window);

    // The "FP Type:" index: 0 "1642", 1 "1635", 2 "650D/650G", -1 none.
    int current_fp_type() const { return model_.current_fp_type(); }

    // The view's Clear: the lamp test is idle again and the start button says so; the lamp keys keep
    // their enabled state.
    void reset_lamp_test();

    FpPageModel& model() { return model_; }
    const FpPageModel& model() const { return model_; }

private:
    void OnLoadFpConfig();
    void OnSaveFpConfig();
    void OnLampKey(LampKey key);
    void OnStartTestLamp();
    void OnFpTypeChanged();
    void OnLightAll();
    void OnDimAll();
    long OnLampTestEnded();

    void pull_controls() override;
    void push_controls() override;
    void push_scan_controls();
    void push_lamp_test();
    void post_request(FpRequest request);

    Ui::FrontPanelPage ui_;
    FpPageModel& model_;
    Dialog* request_window_ = nullptr;
};

}  // namespace velmora
