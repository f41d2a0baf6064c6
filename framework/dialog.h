// A form or page of the dialog framework: a widget built from a dialog template whose controls are
// addressed by their fixed numeric ids, with a message map, data exchange and control helpers.
//
// Building. A template is a Qt Designer .ui file compiled by uic. The dialog keeps the uic object and
// reaches its controls through its typed members; the controls that messages, data exchange or other
// code address by number also carry the integer dynamic property "ctrlId" with their fixed id. A page
// builds itself in its constructor:
//     class FPDlg : public Dialog {
//     public:
//         FPDlg() {
//             build_from(ui_, &set_control_ids);
//             on_clicked(k_load_fp_button, [this] { OnLoad(); });     // the message map
//             on_selection_changed(k_fp_type_combo, [this] { OnFpTypeChanged(); });
//             on_message(k_lamp_test_ended, [this] { return OnLampTestEnded(); });
//             bind_text(k_clock_pos_edit, clock_pos_);                // data exchange, in this order
//         }
//         Ui::FrontPanelPage ui_;
//     };
// Handlers may be registered before or after building; each id has at most one handler of a kind
// (a later registration replaces the earlier one).
//
// What callers may rely on:
// - `Dialog` is a QDialog so that templates whose top level is a QDialog build too, but as a page it
//   behaves as a plain child widget: `create_child(parent)` makes it a hidden child of `parent` (show it
//   with show()), and Enter and Escape do nothing to a child page (they never close or hide it).
//   As a window, `run_modal(owner)` runs it modally until `end_dialog(result)`. While it runs, Escape
//   and the window's close button count as a click on k_id_cancel; a click on k_id_ok or k_id_cancel
//   without a handler ends the dialog with that id (OK pulls the bound texts first, `update_data(true)`);
//   with a handler, the handler decides and calls `end_dialog` itself.
// - After building, every combo box has no selection (index -1), as a template's combo has until
//   something selects an item, whatever uic did while filling it.
// - Building also readies the form for keyboard and mouse alike: Tab follows the controls top to
//   bottom and left to right (framework/tab_order.h), the wheel changes no value of a control that
//   lacks the focus (framework/wheel_guard.h), read-only edits look read-only, hiding or showing a
//   control moves no other, and fields are named after their labels (framework/control_look.h).
//   A form that takes in other dialogs later (pages) calls `order_for_keyboard()` again.
// - `control(id)` finds the control with that ctrlId inside this dialog, not inside dialogs nested in
//   it (a page placed in the main view's tab control keeps its own ids). A control without a ctrlId (a
//   static text) or with -1 is not indexed. A missing id is a programming
//   error: it is logged with qCritical and the call gets nullptr; the helpers below then do nothing and
//   answer empty text, -1 or false.
// - Command handlers run on real user actions only, not when code changes a control: `on_clicked` for
//   a button or check box clicked (also QAbstractButton::click()), `on_selection_changed` for an item
//   chosen in a combo box by the user (also when the same item is chosen again).
// - `on_notify(id, selection_changed, ...)` runs when a tree's selection changes, by the user or by
//   code; `on_notify(id, double_click, ...)` runs when a table with a ReportList attached
//   (report_list.h) is double-clicked, on a cell or not, after the list's own double-click hook.
// - `on_message(n, ...)` handles posted message n (window_message.h); messages without a handler are
//   dropped. Handlers return the message's result (0 for every message of this system).
// - Texts at this interface are UTF-8.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class QComboBox;
class QEvent;
class QKeyEvent;

namespace velmora {

// Ids of the OK and Cancel buttons of modal dialogs, and the results of `run_modal`.
inline constexpr int k_id_ok = 1;
inline constexpr int k_id_cancel = 2;

// The dynamic property that carries a control's id in a template.
inline constexpr char k_ctrl_id_property[] = "ctrlId";

enum class NotifyKind { selection_changed, double_click };

class Dialog : public QDialog {
    Q_OBJECT

public:
    using CommandHandler = std::function<void()>;
    using NotifyHandler = std::function<void()>;
    using MessageHandler = std::function<long()>;

    Dialog();
    ~Dialog() override;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // --- Building and placing --------------------------------------------------------------------

    // Builds the controls into `ui`, which the dialog keeps (Ui::setupUi takes a QWidget* or a
    // QDialog*), then `assign_ids` gives them their ids.
    template <class Ui>
    void build_from(Ui& ui, void (*assign_ids)(Ui&)) {
        ui.setupUi(this);
        assign_ids(ui);
        finish_build();
    }

    // Sets the Tab order of every control inside the dialog, nested dialogs included, from their
    // places, and guards the wheel over the ones that came since building.
    void order_for_keyboard();

    // Makes the dialog a hidden modeless child of `parent`.
    void create_child(QWidget* parent);
    // Runs the dialog as a modal window owned by `owner` (may be null); returns the result given to
    // `end_dialog`, k_id_cancel when closed otherwise.
    int run_modal(QWidget* owner);
    void end_dialog(int result);

    // --- Controls ----------------------------------------------------------------------------------

    QWidget* control(int id);
    template <class T>
    T* control_as(int id) {
        return checked_cast<T>(control(id), id);
    }
    // The ctrlId of `widget`, or -1 when it has none.
    static int control_id(const QWidget* widget);

    bool is_control_shown(int id);  // the control's own visibility flag, whatever its parents show
    void enable_control(int id, bool enable);
    bool is_control_enabled(int id);  // the control's own flag, whatever its parents are
    // The window text of a control: a button's or check box's caption, a label's or group box's
    // text, an edit's text, an editable combo's edit text.
    void set_control_text(int id, const std::string& text);
    std::string control_text(int id);
    bool is_checked(int id);

    // --- Message map -------------------------------------------------------------------------------

    void on_clicked(int id, CommandHandler handler);
    void on_selection_changed(int id, CommandHandler handler);
    void on_notify(int id, NotifyKind kind, NotifyHandler handler);
    void on_message(int message, MessageHandler handler);

    // Controls of this framework report to their dialog through this (the report list's double click).
    void notify(int id, NotifyKind kind);

    // --- Data exchange -----------------------------------------------------------------------------

    // Binds the text of control `id` to `member`, which must outlive the dialog's use of it.
    void bind_text(int id, std::string& member);
    // save = true: control texts into members; false: members into control texts; in bind order.
    void update_data(bool save);

    // --- Combo boxes -------------------------------------------------------------------------------
    // A combo whose template gives it the dynamic property "sorted" = true keeps its items sorted
    // (case-insensitive; an item equal to others goes after them). Adding items never selects
    // one by itself.

    // On a combo that the caller reaches through its template's typed member.
    static int combo_add(QComboBox* combo, const std::string& text);  // index of the new item, -1 without it
    static void combo_select(QComboBox* combo, int index);  // an index the combo doesn't have: no selection

    int combo_count(int id);
    int combo_selected(int id);                      // -1 when nothing is selected
    std::string combo_item_text(int id, int index);  // empty for an index out of range

    // --- Tree --------------------------------------------------------------------------------------

    void tree_insert_root(int id, const std::string& text);  // at the end of the root level
    std::string tree_selected_text(int id);                  // empty when nothing is selected
    std::string tree_first_visible_text(int id);             // empty when the tree is empty

    // --- Tab control (a QTabWidget) ----------------------------------------------------------------
    // Tab items are labels only: selecting one changes no page. Pages are children of the tab
    // control placed by the caller over its client rectangle, above the tab's own (empty) panels.

    void tab_insert_item(int id, int index);  // with an empty label
    void tab_select(int id, int index);
    // The area below the tab row, in the tab control's coordinates.
    QRect tab_client_rect(int id);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

public slots:
    void reject() override;

private:
    struct Binding {
        int id;
        std::string* member;
    };

    void finish_build();
    // Runs the handler of a posted `message`; 0 when there is none.
    long dispatch_message(int message);
    void index_controls();
    void index_children(QWidget* parent);
    void connect_control(int id, QWidget* widget);
    void run_command(int id, std::unordered_map<int, CommandHandler>& handlers);
    void report_missing(int id) const;
    void report_wrong_kind(int id, const char* wanted) const;

    template <class T>
    T* checked_cast(QWidget* widget, int id) const {
        if (widget == nullptr) {
            return nullptr;
        }
        T* typed = qobject_cast<T*>(widget);
        if (typed == nullptr) {
            report_wrong_kind(id, T::staticMetaObject.className());
        }
        return typed;
    }

    std::unordered_map<int, QPointer<QWidget>> controls_;
    std::unordered_map<int, CommandHandler> clicked_handlers_;
    std::unordered_map<int, CommandHandler> selection_handlers_;
    std::unordered_map<int, NotifyHandler> selection_notify_handlers_;
    std::unordered_map<int, NotifyHandler> double_click_handlers_;
    std::unordered_map<int, MessageHandler> message_handlers_;
    std::vector<Binding> bindings_;
    bool running_modal_ = false;
};

}  // namespace velmora
