#include "pages/models/fp_page_model.h"

#include "pages/models/checked_number.h"
#include "pages/models/lenient_number.h"

namespace velmora {

namespace {

// Where the front panel driver keeps its fields. A "level" is bit 0 of its byte, a "pos" bits 2-7;
// bit 1 of those bytes belongs to the driver and is never written here.
constexpr std::size_t k_fp_type_offset = 0;  // 32 bits: 0 for "1642", 1 for the others
constexpr std::size_t k_mode_offset = 4;     // scan type, LBD type and the type marks
constexpr std::uint8_t k_scan_type_mask = 0x0F;
constexpr int k_lbd_type_shift = 4;
constexpr std::uint8_t k_lbd_type_mask = 0x10;
constexpr std::uint8_t k_type_marks_mask = 0xE0;
constexpr std::uint8_t k_1642_marks = 0x60;  // bits 5 and 6 set, bit 7 clear
constexpr std::size_t k_com_num_offset = 5;
constexpr std::uint8_t k_com_num_mask = 0x0F;  // the high nibble is not ours
constexpr std::size_t k_bit_order_offset = 6;
constexpr std::uint8_t k_650_mark = 0x08;  // tells "650D/650G" from "1635" when fp_type is not 0
constexpr std::size_t k_fclock_offset = 8;
constexpr std::size_t k_fdata_offset = 9;
constexpr std::size_t k_scan_0_offset = 10;
constexpr std::size_t k_lbd_0_offset = 20;
constexpr std::size_t k_lbd_1_offset = 21;
constexpr std::size_t k_colon_pos_offset = 22;
constexpr std::uint8_t k_level_mask = 0x01;
constexpr int k_pos_shift = 2;
constexpr std::uint8_t k_pos_mask = 0xFC;

static_assert(k_fp_type_offset + 4 == k_mode_offset);
static_assert((k_scan_type_mask | k_lbd_type_mask | k_type_marks_mask) == 0xFF);
static_assert((k_1642_marks & ~k_type_marks_mask) == 0);
static_assert((k_pos_mask >> k_pos_shift) == k_checked_number_max);
static_assert((k_level_mask & k_pos_mask) == 0 && (k_level_mask | k_pos_mask) == 0xFD);
static_assert(k_colon_pos_offset < k_fp_settings.end());  // the last byte the driver uses

// `bit_order` codes by "Status:" item (rows) and FP type (columns "1642", "1635", "650D/650G").
constexpr std::array<std::array<std::uint8_t, k_fp_type_items.size()>, k_bit_order_items.size()>
    k_bit_order_codes{{
        {0x00, 0x00, 0x08},
        {0x01, 0x01, 0x09},
        {0x80, 0x10, 0x18},
        {0x02, 0x20, 0x28},
        {0x81, 0x11, 0x19},
        {0x03, 0x21, 0x29},
    }};

// The table is the sum of three marks: bit 0 reverses; the shifts are bits 7 / 1 for "1642" and
// bits 4 / 5 for the others; bit 3 marks "650D/650G".
constexpr bool bit_order_table_is_regular() {
    constexpr std::array<std::uint8_t, 6> k_direction{0, 1, 0, 0, 1, 1};
    constexpr std::array<int, 6> k_shift{0, 0, -1, 1, -1, 1};  // -1 left, 1 right
    for (std::size_t row = 0; row < k_bit_order_codes.size(); ++row) {
        for (std::size_t type = 0; type < k_fp_type_items.size(); ++type) {
            const bool is_1642 = type == static_cast<std::size_t>(FpType::fp1642);
            const std::uint8_t left = is_1642 ? 0x80 : 0x10;
            const std::uint8_t right = is_1642 ? 0x02 : 0x20;
            std::uint8_t code = k_direction[row];
            code |= k_shift[row] < 0 ? left : (k_shift[row] > 0 ? right : 0);
            code |= type == static_cast<std::size_t>(FpType::fp650) ? k_650_mark : 0;
            if (k_bit_order_codes[row][type] != code) {
                return false;
            }
        }
    }
    return true;
}
static_assert(bit_order_table_is_regular());

// The FP type a block holds: 0 is "1642"; anything else is "650D/650G" when its bit order carries the
// mark, else "1635".
FpType fp_type_in(const ConfigBlock& block) {
    if (block.u32(k_fp_type_offset) == 0) {
        return FpType::fp1642;
    }
    return (block.bytes[k_bit_order_offset] & k_650_mark) != 0 ? FpType::fp650 : FpType::fp1635;
}

// With no FP type selected the store writes fp_type 1, which reads back as "1635" unless the code
// carries the 650 mark; taking the "1635" column keeps the two consistent.
std::size_t bit_order_column(int fp_type_index) {
    return fp_type_index == k_no_selection ? static_cast<std::size_t>(FpType::fp1635)
                                           : static_cast<std::size_t>(fp_type_index);
}

std::uint8_t bit_order_code(int fp_type_index, int status_index) {
    if (status_index == k_no_selection) {
        return 0x00;
    }
    return k_bit_order_codes[static_cast<std::size_t>(status_index)][bit_order_column(fp_type_index)];
}

int bit_order_index(int fp_type_index, std::uint8_t code) {
    const std::size_t column = bit_order_column(fp_type_index);
    for (std::size_t row = 0; row < k_bit_order_codes.size(); ++row) {
        if (k_bit_order_codes[row][column] == code) {
            return static_cast<int>(row);
        }
    }
    return 0;
}

// A combo index goes in through the field's mask, so no selection (-1) sets every bit of the field.
void put_bits(std::uint8_t& byte, std::uint8_t mask, int shift, int value) {
    const auto bits = static_cast<std::uint8_t>(static_cast<unsigned>(value) << shift) & mask;
    byte = static_cast<std::uint8_t>((byte & ~mask) | bits);
}

std::string pos_text(std::uint8_t byte) {
    return std::to_string((byte & k_pos_mask) >> k_pos_shift);
}

// Checks a pos text and stores it in bits 2-7 of its byte; the message names the driver's field.
std::optional<PageMessage> store_pos(std::uint8_t& byte, const std::string& text, std::string_view field) {
    const auto value = read_checked_number(text);
    if (!value) {
        return invalid_value_message(field);
    }
    put_bits(byte, k_pos_mask, k_pos_shift, *value);
    return std::nullopt;
}

PageMessage wrong_side_file() {
    return {MessageKind::refused, "The Front Panel page has no such side file!", "error"};
}

}  // namespace

PageMessages FpPageModel::load(ConfigBlock block) {
    const auto& b = block.bytes;
    lamp_keys_enabled_ = lamp_test_running.load();

    const FpType type = fp_type_in(block);
    fp_type_.select(static_cast<int>(type));
    scan_controls_shown_ = type == FpType::fp1642;

    scan_type.select(b[k_mode_offset] & k_scan_type_mask);
    scan_0_level.select(b[k_scan_0_offset] & k_level_mask);
    scan_0_pos = pos_text(b[k_scan_0_offset]);
    lock_lamp_level.select(b[k_lbd_0_offset] & k_level_mask);
    power_lamp_level.select(b[k_lbd_1_offset] & k_level_mask);
    lbd_type.select((b[k_mode_offset] & k_lbd_type_mask) >> k_lbd_type_shift);
    com_num.select(b[k_com_num_offset] & k_com_num_mask);

    bit_order.select(bit_order_index(fp_type_.selected(), b[k_bit_order_offset]));

    clock_level.select(b[k_fclock_offset] & k_level_mask);
    clock_pos = pos_text(b[k_fclock_offset]);
    data_level.select(b[k_fdata_offset] & k_level_mask);
    data_pos = pos_text(b[k_fdata_offset]);
    lock_lamp_pos = pos_text(b[k_lbd_0_offset]);
    power_lamp_pos = pos_text(b[k_lbd_1_offset]);
    colon_pos = pos_text(b[k_colon_pos_offset]);
    return {};
}

std::optional<PageMessage> FpPageModel::store(ConfigBlock& block) {
    auto& b = block.bytes;
    const bool is_1642 = fp_type_.selected() == static_cast<int>(FpType::fp1642);
    block.set_u32(k_fp_type_offset, is_1642 ? 0 : 1);
    put_bits(b[k_mode_offset], k_type_marks_mask, 0, is_1642 ? k_1642_marks : 0);

    // The scan fields are stored even while their controls are hidden.
    put_bits(b[k_mode_offset], k_scan_type_mask, 0, scan_type.selected());
    put_bits(b[k_scan_0_offset], k_level_mask, 0, scan_0_level.selected());
    if (auto failed = store_pos(b[k_scan_0_offset], scan_0_pos, "scan_0 pos")) {
        return failed;
    }

    put_bits(b[k_lbd_0_offset], k_level_mask, 0, lock_lamp_level.selected());
    put_bits(b[k_lbd_1_offset], k_level_mask, 0, power_lamp_level.selected());
    put_bits(b[k_mode_offset], k_lbd_type_mask, k_lbd_type_shift, lbd_type.selected());
    put_bits(b[k_com_num_offset], k_com_num_mask, 0, com_num.selected());

    b[k_bit_order_offset] = bit_order_code(fp_type_.selected(), bit_order.selected());

    put_bits(b[k_fclock_offset], k_level_mask, 0, clock_level.selected());
    if (auto failed = store_pos(b[k_fclock_offset], clock_pos, "fclock pos")) {
        return failed;
    }
    put_bits(b[k_fdata_offset], k_level_mask, 0, data_level.selected());
    if (auto failed = store_pos(b[k_fdata_offset], data_pos, "fdata pos")) {
        return failed;
    }
    if (auto failed = store_pos(b[k_lbd_0_offset], lock_lamp_pos, "lbd_0 pos")) {
        return failed;
    }
    if (auto failed = store_pos(b[k_lbd_1_offset], power_lamp_pos, "lbd_1 pos")) {
        return failed;
    }

    // The colon position is read the lenient way (trailing text after the digits is ignored), but
    // only a position that fits bits 2-7 is stored: 99 is refused, never stored as 99 modulo 64.
    const auto colon = read_field_number(colon_pos, k_checked_number_max);
    if (!colon) {
        return invalid_value_message("Colon Pos");
    }
    put_bits(b[k_colon_pos_offset], k_pos_mask, k_pos_shift, static_cast<int>(*colon));
    return std::nullopt;
}

std::optional<PageMessage> FpPageModel::apply_side_record(SideFileKind kind, const ConfigBlock& record) {
    if (kind != SideFileKind::fp) {
        return wrong_side_file();
    }
    load(record);
    return std::nullopt;
}

std::optional<PageMessage> FpPageModel::build_side_record(SideFileKind kind, ConfigBlock& record) {
    if (kind != SideFileKind::fp) {
        return wrong_side_file();
    }
    return store(record);
}

PageView FpPageModel::view() const {
    auto combo = [](std::string_view label, const ComboChoice& choice) {
        return PageField{std::string(label), std::string(choice.selected_text())};
    };
    auto edit = [](std::string_view label, const std::string& text) {
        return PageField{std::string(label), text};
    };
    return PageView{
        "Front Panel",
        {
            combo("FP Type:", fp_type_),
            combo("Scan Type:", scan_type),
            combo("LBD Type:", lbd_type),
            combo("Com Num:", com_num),
            combo("Status:", bit_order),
            combo("Clock Level:", clock_level),
            edit("Clock Pos:", clock_pos),
            combo("Data Level:", data_level),
            edit("Data Pos:", data_pos),
            combo("Scan_0 Level:", scan_0_level),
            edit("Scan_0 Pos:", scan_0_pos),
            combo("Lock Lamp Level:", lock_lamp_level),
            edit("Lock Lamp Pos:", lock_lamp_pos),
            combo("Power Lamp Level:", power_lamp_level),
            edit("Power Lamp Pos:", power_lamp_pos),
            edit("Colon Pos:", colon_pos),
        },
        {},
    };
}

void FpPageModel::select_fp_type(int index) {
    fp_type_.select(index);
    scan_controls_shown_ = fp_type_.selected() == static_cast<int>(FpType::fp1642);
}

std::optional<FpRequest> FpPageModel::click_start_lamp_test() {
    if (start_button_caption_ != k_start_lamp_test_caption) {
        stop_lamp_test();
        return std::nullopt;  // the thread sees the cleared flag and ends by itself
    }
    start_button_caption_ = k_stop_lamp_test_caption;
    lamp_test_running.store(true);
    lamp_keys_enabled_ = true;
    wake_test_thread();
    return FpRequest::start_lamp_test;
}

void FpPageModel::click_lamp_key(LampKey key) {
    lamp_key_request.store(lamp_test_running.load() ? key : LampKey::none);
    wake_test_thread();
}

void FpPageModel::lamp_test_ended() {
    if (lamp_test_running.load()) {
        stop_lamp_test();
    }
}

void FpPageModel::reset_lamp_test() {
    lamp_test_running.store(false);
    start_button_caption_ = k_start_lamp_test_caption;
    wake_test_thread();
}

void FpPageModel::stop_lamp_test() {
    start_button_caption_ = k_start_lamp_test_caption;
    lamp_test_running.store(false);
    lamp_keys_enabled_ = false;
    wake_test_thread();
}

}  // namespace velmora
