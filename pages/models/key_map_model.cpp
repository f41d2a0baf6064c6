#include "pages/models/key_map_model.h"

#include <algorithm>
#include <utility>

#include "platform/file_system.h"
#include "script/key_script_extractor.h"

namespace velmora {

namespace {

constexpr std::size_t k_ir1_index = 0;
constexpr std::size_t k_ir2_index = 1;

// One table of the block as its key file and its list column see it.
struct KeyFile {
    SideFileKind kind;
    KeyTable table;
    KeyList list;
    int column;
    std::optional<Remote> remote;
    std::size_t user_code_offset;      // only with a remote
    std::string_view user_code_field;  // only with a remote: how its messages name the user code
    std::string_view out_of_range;
};

// In the order the store writes them.
constexpr std::array<KeyFile, 3> k_key_files{{
    {SideFileKind::fpkey, k_fp_key_table, KeyList::fp, KeyMapModel::k_fp_code_column, std::nullopt, 0, "",
     "The fp num out of range, please select the right file!"},
    {SideFileKind::ir1, k_ir1_table, KeyList::ir, KeyMapModel::k_ir1_code_column, Remote::ir1,
     k_ir1_user_code_offset, KeyMapModel::k_ir1_user_code_field,
     "The ir1 num out of range, please select the right file!"},
    {SideFileKind::ir2, k_ir2_table, KeyList::ir, KeyMapModel::k_ir2_code_column, Remote::ir2,
     k_ir2_user_code_offset, KeyMapModel::k_ir2_user_code_field,
     "The ir2 num out of range, please select the right file!"},
}};

const KeyFile* key_file(SideFileKind kind) {
    for (const KeyFile& file : k_key_files) {
        if (file.kind == kind) {
            return &file;
        }
    }
    return nullptr;
}

std::size_t remote_index(Remote remote) {
    return remote == Remote::ir1 ? k_ir1_index : k_ir2_index;
}

// A block from elsewhere may claim more keys than its table holds; only the table is read.
std::size_t table_count(const ConfigBlock& block, const KeyTable& table) {
    return std::min<std::size_t>(block.u16(table.count_offset), table.capacity);
}

// A code cell's text as the store reads it. An empty cell is a row the other remote's table gave and
// this one did not: it stands for code 0, and the user sees no number there to differ.
std::optional<std::uint8_t> cell_code(std::string_view text, NumberBase base) {
    return text.empty() ? std::optional<std::uint8_t>(0) : read_key_code(text, base);
}

std::string name_at(const std::vector<std::string>& names, std::size_t index) {
    return index < names.size() ? names[index] : std::string();
}

// LastCapture in one 64-bit word: target, recorded, key and column in the low four bytes, the user
// code in the next two, the row in the top two. Rows stay below 128 and columns below 4.
constexpr unsigned k_recorded_shift = 8;
constexpr unsigned k_key_shift = 16;
constexpr unsigned k_column_shift = 24;
constexpr unsigned k_user_code_shift = 32;
constexpr unsigned k_row_shift = 48;
constexpr std::uint64_t k_byte_mask = 0xFF;
constexpr std::uint64_t k_word_mask = 0xFFFF;

std::uint64_t pack(const LastCapture& capture) {
    return (static_cast<std::uint64_t>(capture.target) & k_byte_mask) |
           (std::uint64_t{capture.recorded} << k_recorded_shift) |
           (std::uint64_t{capture.key} << k_key_shift) |
           ((static_cast<std::uint64_t>(capture.cell.column) & k_byte_mask) << k_column_shift) |
           (std::uint64_t{capture.user_code} << k_user_code_shift) |
           ((static_cast<std::uint64_t>(capture.cell.row) & k_word_mask) << k_row_shift);
}

LastCapture unpack(std::uint64_t word) {
    LastCapture capture;
    capture.target = static_cast<KeyList>(word & k_byte_mask);
    capture.recorded = ((word >> k_recorded_shift) & k_byte_mask) != 0;
    capture.key = static_cast<std::uint8_t>(word >> k_key_shift);
    capture.user_code = static_cast<std::uint16_t>(word >> k_user_code_shift);
    if (capture.recorded) {
        capture.cell = {static_cast<std::int32_t>((word >> k_row_shift) & k_word_mask),
                        static_cast<std::int32_t>((word >> k_column_shift) & k_byte_mask)};
    }
    return capture;
}

}  // namespace

KeyMapModel::KeyMapModel() {
    for (const KeyList list : {KeyList::fp, KeyList::ir}) {
        mutable_list(list)->set_cell_check([this, list](std::size_t column, std::string_view text) {
            return check_code(list, column, text);
        });
    }
}

std::optional<PageMessage> KeyMapModel::check_code(KeyList list, std::size_t column,
                                                   std::string_view text) const {
    // A typed text must hold a code: an empty cell is only ever one the block left empty.
    if (read_key_code(text, number_base())) {
        return std::nullopt;
    }
    // A code cell is named by its column, as the list heads it ("IR2_Key").
    return invalid_value_message(key_list(list)->columns()[column].name);
}

EditableKeyList* KeyMapModel::mutable_list(KeyList which) {
    return const_cast<EditableKeyList*>(std::as_const(*this).key_list(which));
}

const EditableKeyList* KeyMapModel::key_list(KeyList which) const {
    switch (which) {
        case KeyList::fp:
            return &fp_list_;
        case KeyList::ir:
            return &ir_list_;
        case KeyList::none:
            break;
    }
    return nullptr;
}

const std::vector<std::vector<std::string>>& KeyMapModel::rows(KeyList list) const {
    static const std::vector<std::vector<std::string>> k_no_rows;
    const EditableKeyList* target = key_list(list);
    return target != nullptr ? target->rows() : k_no_rows;
}

std::size_t KeyMapModel::column_count(KeyList list) {
    switch (list) {
        case KeyList::fp:
            return k_fp_columns.size();
        case KeyList::ir:
            return k_ir_columns.size();
        case KeyList::none:
            break;
    }
    return 0;
}

bool KeyMapModel::is_editable_column(KeyList list, int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= column_count(list)) {
        return false;
    }
    return list == KeyList::fp ? k_fp_columns[column].editable : k_ir_columns[column].editable;
}

KeyList KeyMapModel::editor_list_for(SideFileKind kind) {
    const KeyFile* file = key_file(kind);
    return file != nullptr ? file->list : KeyList::none;
}

bool KeyMapModel::is_open_cell(KeyList list, ListCell cell) const {
    return cell.row >= 0 && is_editable_column(list, cell.column);
}

PageMessages KeyMapModel::load(ConfigBlock block) {
    PageMessages messages;
    KeyNames names;
    const int parsed = LoadKeyScript(k_script_path, names);
    // The script is of no use after this load, and the next image brings its own.
    platform::delete_file(k_script_path);
    platform::remove_directory(k_script_directory);
    if (parsed != k_script_ok) {
        // Only the names are lost; the rows below still come from this block, so that a later
        // store never writes the previous image's keys into this one.
        messages.push_back({MessageKind::warning, std::string(k_script_error_text), ""});
        names = {};
    }
    names_ = std::move(names);
    script_status_ = parsed;

    // Clearing also closes the editors: one left open would write its old text into a row of the
    // new block.
    const NumberBase base = number_base();
    fp_list_.clear();
    for (std::size_t i = 0; i < table_count(block, k_fp_key_table); ++i) {
        fp_list_.append_row(
            {name_at(names_.fp, i), format_key_code(block.key_code(k_fp_key_table, i), base)});
    }
    ir_list_.clear();
    for (std::size_t i = 0; i < table_count(block, k_ir1_table); ++i) {
        ir_list_.append_row({name_at(names_.ir1, i), format_key_code(block.key_code(k_ir1_table, i), base)});
    }
    for (std::size_t i = 0; i < table_count(block, k_ir2_table); ++i) {
        std::string name = name_at(names_.ir2, i);
        std::string code = format_key_code(block.key_code(k_ir2_table, i), base);
        if (i < ir_list_.rows().size()) {
            ir_list_.set_cell(i, k_ir2_name_column, std::move(name));
            ir_list_.set_cell(i, k_ir2_code_column, std::move(code));
        } else {
            ir_list_.append_row({"", "", std::move(name), std::move(code)});
        }
    }

    user_code_texts_[k_ir1_index] = format_user_code(block.u16(k_ir1_user_code_offset));
    user_code_texts_[k_ir2_index] = format_user_code(block.u16(k_ir2_user_code_offset));
    return messages;
}

std::optional<PageMessage> KeyMapModel::write_table(ConfigBlock& block, SideFileKind kind) const {
    const KeyFile& file = *key_file(kind);
    const auto& list_rows = rows(file.list);
    const std::size_t count = std::min(list_rows.size(), file.table.capacity);
    const NumberBase base = number_base();
    std::vector<std::uint8_t> codes;
    codes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& text = list_rows[i][file.column];
        const auto code = cell_code(text, base);
        if (!code) {
            return check_code(file.list, static_cast<std::size_t>(file.column), text);
        }
        codes.push_back(*code);
    }
    block.set_u16(file.table.count_offset, static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        block.set_key_code(file.table, i, codes[i]);
    }
    return std::nullopt;
}

std::optional<PageMessage> KeyMapModel::write_user_code(ConfigBlock& block, SideFileKind kind) const {
    const KeyFile& file = *key_file(kind);
    if (!file.remote) {
        return std::nullopt;
    }
    const auto code = read_user_code(user_code_texts_[remote_index(*file.remote)]);
    if (!code) {
        return invalid_value_message(file.user_code_field);
    }
    block.set_u16(file.user_code_offset, *code);
    return std::nullopt;
}

std::optional<PageMessage> KeyMapModel::store(ConfigBlock& block) {
    for (const KeyFile& file : k_key_files) {
        if (auto refused = write_table(block, file.kind)) {
            return refused;
        }
    }
    for (const KeyFile& file : k_key_files) {
        if (auto refused = write_user_code(block, file.kind)) {
            return refused;
        }
    }
    return std::nullopt;
}

std::optional<PageMessage> KeyMapModel::apply_side_record(SideFileKind kind, const ConfigBlock& record) {
    const KeyFile* file = key_file(kind);
    if (file == nullptr) {
        return PageMessage{MessageKind::refused, "Not a key file!", "error"};
    }
    const std::size_t count = record.u16(file->table.count_offset);
    if (count > file->table.capacity) {
        return PageMessage{MessageKind::refused, std::string(file->out_of_range), "error"};
    }
    // Only the code cells of rows the list already has; names and the other rows stay.
    EditableKeyList& target = *mutable_list(file->list);
    const NumberBase base = number_base();
    for (std::size_t i = 0; i < count && i < target.rows().size(); ++i) {
        target.set_cell(i, file->column, format_key_code(record.key_code(file->table, i), base));
    }
    if (file->remote) {
        user_code_texts_[remote_index(*file->remote)] = format_user_code(record.u16(file->user_code_offset));
    }
    return std::nullopt;
}

std::optional<PageMessage> KeyMapModel::build_side_record(SideFileKind kind, ConfigBlock& record) {
    const KeyFile* file = key_file(kind);
    if (file == nullptr) {
        return PageMessage{MessageKind::refused, "Not a key file!", "error"};
    }
    if (auto refused = write_table(record, kind)) {
        return refused;
    }
    return write_user_code(record, kind);
}

PageView KeyMapModel::view() const {
    PageView page;
    page.page = "Key Map";
    page.fields = {
        {std::string(k_base_label), std::string(k_base_items[number_base_index()])},
        {std::string(k_ir1_user_code_label), user_code_texts_[k_ir1_index]},
        {std::string(k_ir2_user_code_label), user_code_texts_[k_ir2_index]},
    };
    auto table = [this](std::string name, KeyList list, auto columns) {
        PageTable out{std::move(name), {}, rows(list)};
        for (const KeyColumn& column : columns) {
            out.columns.emplace_back(column.name);
        }
        return out;
    };
    page.tables.push_back(table("IR", KeyList::ir, k_ir_columns));
    page.tables.push_back(table("FP", KeyList::fp, k_fp_columns));
    return page;
}

const std::string& KeyMapModel::user_code_text(Remote remote) const {
    return user_code_texts_[remote_index(remote)];
}

void KeyMapModel::set_user_code_text(Remote remote, std::string text) {
    user_code_texts_[remote_index(remote)] = std::move(text);
}

std::optional<PageMessage> KeyMapModel::select_number_base(int index) {
    // Every open editor, not only the active list's: a capture may have reopened the other list's, and
    // its text, read later in the new base, would mean another code.
    for (const KeyList list : {active_list_, KeyList::fp, KeyList::ir}) {
        if (auto refused = commit_editor(list)) {
            return refused;
        }
    }
    const NumberBase old_base = number_base();
    const NumberBase new_base = index == 0 ? NumberBase::decimal : NumberBase::hexadecimal;
    if (new_base == old_base) {
        return std::nullopt;
    }
    for (EditableKeyList* target : {&fp_list_, &ir_list_}) {
        for (std::size_t row = 0; row < target->rows().size(); ++row) {
            for (std::size_t column = 0; column < target->columns().size(); ++column) {
                if (!target->is_editable_column(static_cast<int>(column))) {
                    continue;
                }
                // Every cell holds a code that reads; one that did not would keep its text.
                if (const auto code = cell_code(target->rows()[row][column], old_base)) {
                    target->set_cell(row, column, format_key_code(*code, new_base));
                }
            }
        }
    }
    number_base_.store(new_base);
    return std::nullopt;
}

int KeyMapModel::number_base_index() const {
    return number_base() == NumberBase::decimal ? 0 : 1;
}

bool KeyMapModel::open_editor_at(KeyList list, ListCell hit) {
    EditableKeyList* target = mutable_list(list);
    return target != nullptr && target->open_editor_at(hit);
}

std::optional<PageMessage> KeyMapModel::commit_editor(KeyList list) {
    if (EditableKeyList* target = mutable_list(list)) {
        return target->commit_editor();
    }
    return std::nullopt;
}

void KeyMapModel::cancel_editor(KeyList list) {
    if (EditableKeyList* target = mutable_list(list)) {
        target->cancel_editor();
    }
}

ListCell KeyMapModel::editor_cell(KeyList list) const {
    const EditableKeyList* target = key_list(list);
    return target != nullptr ? target->editor_cell() : ListCell{};
}

const std::string& KeyMapModel::editor_text(KeyList list) const {
    static const std::string k_no_text;
    const EditableKeyList* target = key_list(list);
    return target != nullptr ? target->editor_text() : k_no_text;
}

void KeyMapModel::set_editor_text(KeyList list, std::string text) {
    if (EditableKeyList* target = mutable_list(list)) {
        target->set_editor_text(std::move(text));
    }
}

ListCell KeyMapModel::last_double_click(KeyList list) const {
    const EditableKeyList* target = key_list(list);
    return target != nullptr ? target->last_double_click() : ListCell{};
}

std::optional<KeyMapRequest> KeyMapModel::press_get_key_button() {
    if (get_key_caption_ == k_start_get_key_caption) {
        get_key_caption_ = k_stop_get_key_caption;
        get_key_running.store(true);
        wake_test_thread();
        return KeyMapRequest::start_get_key;
    }
    // The worker sees the flag and ends by itself.
    stop_get_key();
    return std::nullopt;
}

std::optional<PageMessage> KeyMapModel::on_list_double_click(KeyList list) {
    if (list == KeyList::none) {
        return std::nullopt;
    }
    const KeyList other = list == KeyList::fp ? KeyList::ir : KeyList::fp;
    if (active_list_ == other) {
        if (auto refused = commit_editor(other)) {
            // The refused text stays where the user typed it, and that editor stays the one open.
            cancel_editor(list);
            return refused;
        }
    }
    active_list_ = list;
    if (!get_key_running.load()) {
        // A cell opened before capturing started is no target; the user opens one again.
        capture_target.store(KeyList::none);
        return std::nullopt;
    }
    if (is_open_cell(list, editor_cell(list))) {
        capture_target.store(list);
        return std::nullopt;
    }
    capture_target.store(KeyList::none);
    return PageMessage{MessageKind::warning, std::string(k_invalid_cursor_text), ""};
}

void KeyMapModel::SetCapturedKey(CapturedKey captured) {
    const std::uint8_t key = captured.key;
    const std::uint16_t user_code = captured.user_code;
    LastCapture capture = last_capture();
    const KeyList target = capture_target.load();
    capture.target = target == KeyList::fp || target == KeyList::ir ? target : KeyList::none;
    if (capture.target != KeyList::none) {
        const ListCell cell = editor_cell(capture.target);
        if (is_open_cell(capture.target, cell)) {
            capture.recorded = true;
            capture.key = key;
            capture.cell = cell;
            if (capture.target == KeyList::ir) {
                capture.user_code = user_code;
            }
        }
    }
    // Release: the page reads the record when the worker's key_captured message arrives.
    last_capture_.store(pack(capture), std::memory_order_release);
}

LastCapture KeyMapModel::last_capture() const {
    return unpack(last_capture_.load(std::memory_order_acquire));
}

void KeyMapModel::on_key_captured() {
    const LastCapture capture = last_capture();
    EditableKeyList* target = mutable_list(capture.target);
    if (target == nullptr || !capture.recorded) {
        return;
    }
    const ListCell cell = capture.cell;
    if (static_cast<std::size_t>(cell.row) < target->rows().size() &&
        target->is_editable_column(cell.column)) {
        target->set_cell(cell.row, cell.column, format_key_code(capture.key, number_base()));
        if (capture.target == KeyList::ir) {
            const std::size_t remote = cell.column == k_ir1_code_column ? k_ir1_index : k_ir2_index;
            user_code_texts_[remote] = format_user_code(capture.user_code);
        }
    }
    // Reopened where the user last double-clicked, so the editor shows the new value in place.
    target->open_editor_at(target->last_double_click());
}

void KeyMapModel::on_get_key_ended() {
    if (get_key_running.load()) {
        stop_get_key();
    }
}

void KeyMapModel::stop_get_key() {
    get_key_running.store(false);
    get_key_caption_ = k_start_get_key_caption;
    wake_test_thread();
}

}  // namespace velmora
