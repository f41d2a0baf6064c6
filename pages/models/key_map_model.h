// The "Key Map" page without its window: the FP key list and the IR key list as text cells (the
// page's working copy of the block's key tables), the key names from the box's key script, the two
// remotes' user code texts, the number base, the in-place editors of the two lists, and the page's
// side of key capturing.
//
// Callers may rely on:
// - load, store and the .fpkey/.ir1/.ir2 records touch only the three key tables, their counts and
//   the two user codes, and of each slot only bits 0-7; nothing is read or written past a table,
//   whatever counts a block or a file holds.
// - A key script that is missing or does not parse costs the names only: load still refills the
//   rows and user codes from the block, and returns the warning "Wrong binary file, script error!".
//   A load closes both editors, whose rows are gone.
// - A code cell holds only a code that fits 0..255 in the shown base (or nothing: an empty cell is a
//   row that only the other remote's table gave, and stores 0), and a user code 0..ffff: an
//   editor whose text does not fit stays open and its commit returns "The 'IR1_Key' value is not
//   valid!" (the column's name); a store or a key file's save that meets a user code text that does
//   not fit stops with "The 'IR1 UserCode' value is not valid!" and writes nothing of it.
// - The event functions (button presses, double clicks, key_capture_ended and key_captured) change the model
//   and return what the dialog must do besides showing the model again: a message to post, or a
//   message box.
//
// Who touches what (UI thread = the page and the view; worker = the link's get-key worker):
// - get_key_running: written by the UI thread (Start/Stop Get Key, key_capture_ended, Clear); read
//   by the worker, which runs while it is set. An atomic; each change calls wake_test_thread.
// - capture_target: written by the UI thread on each double click, and set to none by the worker
//   when it ends; read by the worker, which hands keys over only while it names a list. An atomic.
// - the number base: written by the UI thread; read by the worker for its log lines. An atomic.
// - each list's editor cell: written by the UI thread; read by the worker in SetCapturedKey. One
//   atomic word per list, so row and column always belong together.
// - the last capture: written by the worker (SetCapturedKey), then the worker posts key_captured;
//   read by the UI thread when that message arrives. One atomic word, stored before the post, so
//   the page never reads half a record.
// - everything else (rows, names, user code texts, editor texts, the active list, the caption):
//   UI thread only.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_values.h"
#include "link/window_messages.h"
#include "pages/models/editable_key_list.h"
#include "pages/models/key_code_text.h"
#include "pages/models/page_model.h"
#include "pages/models/test_thread_wake.h"
#include "script/key_script_parser.h"

namespace velmora {

// One of the page's two lists. It also names the active list and the capture target, where none is
// a value of its own.
enum class KeyList : std::int32_t { none, fp, ir };

// Whose user code an edit box holds.
enum class Remote { ir1, ir2 };

// What the page posts to the main view.
enum class KeyMapRequest : int { start_get_key = message_number(WindowMessage::start_get_key) };

// The last key the worker handed over, as SetCapturedKey recorded it.
struct LastCapture {
    KeyList target = KeyList::none;
    bool recorded = false;  // false until a key has been stored with an editor open
    std::uint8_t key = 0;
    std::uint16_t user_code = 0;
    ListCell cell;

    bool operator==(const LastCapture&) const = default;
};

class KeyMapModel : public PageModel {
public:
    // Column layout. Names sit in the columns that cannot be edited, codes in the others.
    static constexpr std::array<KeyColumn, 2> k_fp_columns{{
        {"FP_Key_Name", ColumnAlign::left, 100, false},
        {"FP_Key", ColumnAlign::centre, 100, true},
    }};
    static constexpr std::array<KeyColumn, 4> k_ir_columns{{
        {"IR1_Key_Name", ColumnAlign::left, 100, false},
        {"IR1_Key", ColumnAlign::centre, 100, true},
        {"IR2_Key_Name", ColumnAlign::left, 100, false},
        {"IR2_Key", ColumnAlign::centre, 100, true},
    }};
    static constexpr int k_fp_name_column = 0;
    static constexpr int k_fp_code_column = 1;
    static constexpr int k_ir1_name_column = 0;
    static constexpr int k_ir1_code_column = 1;
    static constexpr int k_ir2_name_column = 2;
    static constexpr int k_ir2_code_column = 3;
    static_assert(k_fp_columns[k_fp_code_column].editable && !k_fp_columns[k_fp_name_column].editable);
    static_assert(k_ir_columns[k_ir1_code_column].editable && k_ir_columns[k_ir2_code_column].editable);
    static_assert(!k_ir_columns[k_ir1_name_column].editable && !k_ir_columns[k_ir2_name_column].editable);

    // "Key Value in:" items; the first is decimal, any other choice (or none) hexadecimal.
    static constexpr std::array<std::string_view, 2> k_base_items{"10进制", "16进制"};
    static constexpr std::string_view k_base_label = "Key Value in:";
    static constexpr std::string_view k_ir1_user_code_label = "IR1 UserCode(in Hex):";
    static constexpr std::string_view k_ir2_user_code_label = "IR2 UserCode(in Hex):";
    static constexpr std::string_view k_start_get_key_caption = "Start Get Key";
    static constexpr std::string_view k_stop_get_key_caption = "Stop Get Key";
    static constexpr std::string_view k_script_error_text = "Wrong binary file, script error!";
    static constexpr std::string_view k_invalid_cursor_text = "Invalid cursor pos!";

    static constexpr std::string_view k_ir1_user_code_field = "IR1 UserCode";
    static constexpr std::string_view k_ir2_user_code_field = "IR2 UserCode";

    KeyMapModel();

    // Load from block: runs the key script parser on the unpacked script, always deletes the script
    // and its directory, then refills both lists and the user codes from the block.
    PageMessages load(ConfigBlock block) override;
    // Store to block: the three tables' codes and counts, then the two user codes. A table whose cells
    // or a user code whose text does not fit stops the store with the field's message; what was
    // stored before stays.
    std::optional<PageMessage> store(ConfigBlock& block) override;
    // .fpkey, .ir1, .ir2: a count above the table's size is refused and nothing changes.
    std::optional<PageMessage> apply_side_record(SideFileKind kind, const ConfigBlock& record) override;
    // The table's part of the store. The dialog commits the list's editor before (editor_list_for).
    std::optional<PageMessage> build_side_record(SideFileKind kind, ConfigBlock& record) override;
    PageView view() const override;

    // The lists. Each FP row has 2 cells, each IR row 4.
    const std::vector<std::vector<std::string>>& rows(KeyList list) const;
    // nullptr for KeyList::none. The page's list widgets edit through the non-const one.
    const EditableKeyList* key_list(KeyList which) const;
    EditableKeyList* key_list(KeyList which) { return mutable_list(which); }
    static std::size_t column_count(KeyList list);
    static bool is_editable_column(KeyList list, int column);
    // The list whose editor a key file's save commits first.
    static KeyList editor_list_for(SideFileKind kind);

    const KeyNames& names() const { return names_; }
    // What the key script parser returned at the last load: 0, -6 or -7.
    int script_status() const { return script_status_; }

    const std::string& user_code_text(Remote remote) const;
    void set_user_code_text(Remote remote, std::string text);

    // "Key Value in:": 0 decimal, anything else (1, or -1 for no selection) hexadecimal. Commits the
    // open editors (the active list's first), then rewrites every code cell in the new base when the
    // base changed. When an editor's text is refused, the base stays and its message is returned.
    std::optional<PageMessage> select_number_base(int index);
    int number_base_index() const;
    NumberBase number_base() const { return number_base_.load(); }

    // In-place editing. `hit` is the cell under a double click, or -1, -1 beside the cells; it is
    // remembered as the list's last double click either way. A code cell opens the editor on it with
    // the cell's text; any other hit leaves the editor as it was. Returns whether an editor opened.
    bool open_editor_at(KeyList list, ListCell hit);
    // Enter, a button down in the list, or the page: the editor's text goes into its cell, or, when
    // the cell refuses it, stays in the open editor and the message is returned.
    std::optional<PageMessage> commit_editor(KeyList list);
    // Escape: the cell keeps its text.
    void cancel_editor(KeyList list);
    ListCell editor_cell(KeyList list) const;
    const std::string& editor_text(KeyList list) const;
    void set_editor_text(KeyList list, std::string text);
    ListCell last_double_click(KeyList list) const;
    KeyList active_list() const { return active_list_; }

    // Key capture, UI side.
    std::optional<KeyMapRequest> press_get_key_button();
    // The list has reported a double click; its editor has already been opened or not. The other
    // list's editor is committed first; when it refuses its text, the new editor closes again, the
    // other list stays the active one and its message is returned.
    std::optional<PageMessage> on_list_double_click(KeyList list);
    // WindowMessage::key_captured: the recorded key goes into its cell and the list's editor reopens on it.
    void on_key_captured();
    // WindowMessage::key_capture_ended.
    void on_get_key_ended();
    // The view's Clear.
    void stop_get_key();
    const std::string& get_key_caption() const { return get_key_caption_; }
    LastCapture last_capture() const;

    // Key capture, worker side.
    void SetCapturedKey(CapturedKey captured);

    // Shared with the get-key worker: it runs while the flag is set, hands keys over only while the
    // target is a list, and sets the target to none when it ends.
    std::atomic<bool> get_key_running{false};
    TestThreadWake wake_test_thread;
    std::atomic<KeyList> capture_target{KeyList::none};

private:
    EditableKeyList* mutable_list(KeyList which);
    bool is_open_cell(KeyList list, ListCell cell) const;
    std::optional<PageMessage> check_code(KeyList list, std::size_t column, std::string_view text) const;
    // The table's count and codes, or its first refused cell's message and nothing written.
    std::optional<PageMessage> write_table(ConfigBlock& block, SideFileKind kind) const;
    std::optional<PageMessage> write_user_code(ConfigBlock& block, SideFileKind kind) const;

    EditableKeyList fp_list_{k_fp_columns};
    EditableKeyList ir_list_{k_ir_columns};
    KeyNames names_;
    int script_status_ = k_script_open_failed;
    std::array<std::string, 2> user_code_texts_;  // IR1, IR2
    std::atomic<NumberBase> number_base_{NumberBase::decimal};
    KeyList active_list_ = KeyList::none;
    std::string get_key_caption_{k_start_get_key_caption};
    // The LastCapture packed into one word, so that the worker's store and the page's read never
    // see half a record.
    std::atomic<std::uint64_t> last_capture_{0};
};

}  // namespace velmora
