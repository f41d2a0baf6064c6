#include "tools/velmora-image/sample_image.h"

#include <zlib.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "config/byte_order.h"
#include "config/config_block.h"
#include "config/crc32.h"
#include "config/flash_image.h"
#include "link/led_font.h"

namespace velmora::image_tool {

namespace {

constexpr std::size_t k_sample_size = 512 * 1024;
constexpr std::uint8_t k_erased = 0xFF;
constexpr std::size_t k_sample_directory_a = 0x200;
constexpr std::size_t k_sample_directory_b = 0x10000;
constexpr std::uint8_t k_logo_tag = 0xC3;  // a record kind of the box that this tool passes over

constexpr std::array<std::string_view, 60> k_ir_key_names{
    "POWER", "MUTE",   "0",    "1",        "2",      "3",     "4",     "5",        "6",     "7",
    "8",     "9",      "UP",   "DOWN",     "LEFT",   "RIGHT", "OK",    "MENU",     "EXIT",  "VOL+",
    "VOL-",  "CH+",    "CH-",  "EPG",      "INFO",   "FAV",   "AUDIO", "SUBTITLE", "TEXT",  "RED",
    "GREEN", "YELLOW", "BLUE", "TV/RADIO", "RECALL", "PAGE+", "PAGE-", "PLAY",     "PAUSE", "STOP",
    "REC",   "FF",     "REW",  "PREV",     "NEXT",   "LIST",  "SAT",   "ZOOM",     "SLEEP", "TIMER",
    "HELP",  "OPTION", "PVR",  "MEDIA",    "LANG",   "SETUP", "FIND",  "MOSAIC",   "PIP",   "FORMAT",
};
constexpr std::array<std::string_view, 9> k_fp_key_names{
    "POWER", "MENU", "OK", "UP", "DOWN", "LEFT", "RIGHT", "EXIT", "STANDBY",
};

// Four records a line: name, code, the box's key number and a group, then ";".
template <std::size_t N>
void append_records(std::string& script, std::string_view marker,
                    const std::array<std::string_view, N>& names, std::string_view group) {
    for (std::size_t i = 0; i < N; ++i) {
        if (i % 4 == 0) {
            script += i % 8 == 0 ? "##" : "";
        }
        char code[8];
        std::snprintf(code, sizeof code, "%02zx", (i * 7 + 3) & 0xFF);
        script += "[";
        script += marker;
        script += names[i];
        script += "][";
        script += code;
        script += "][" + std::to_string(i + 1) + "][";
        script += group;
        script += "]";
        script += (i % 4 == 3 || i + 1 == N) ? ";\n" : " ";
    }
}

void put_le16(std::vector<std::uint8_t>& image, std::size_t at, std::uint16_t value) {
    write_le16(image.data() + at, value);
}

void put_le32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    write_le32(image.data() + at, value);
}

struct SampleRecord {
    std::uint8_t tag;
    std::uint32_t offset;  // from the directory's marker
    std::vector<std::uint8_t> data;
};

void put_directory(std::vector<std::uint8_t>& image, std::size_t at, std::string_view label,
                   const std::vector<SampleRecord>& records) {
    std::memcpy(image.data() + at, k_directory_marker.data(), k_directory_marker.size());
    std::memset(image.data() + at + 12, 0, 12);
    std::memcpy(image.data() + at + 12, label.data(), std::min<std::size_t>(label.size(), 12));
    put_le16(image, at + k_entry_count_offset, static_cast<std::uint16_t>(records.size()));
    put_le16(image, at + k_entry_size_offset, k_entry_stride);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const SampleRecord& record = records[i];
        const std::size_t entry = at + k_entries_offset + i * k_entry_stride;
        std::memset(image.data() + entry, 0, k_entry_stride);
        image[entry + k_entry_tag_offset] = record.tag;
        put_le32(image, entry + k_entry_data_offset, record.offset);
        put_le32(image, entry + k_entry_length_offset, static_cast<std::uint32_t>(record.data.size()));
        put_le32(image, entry + k_entry_crc_offset,
                 crc32_update(k_crc32_initial, record.data.data(), record.data.size()));
        std::memcpy(image.data() + at + record.offset, record.data.data(), record.data.size());
    }
}

std::vector<std::uint8_t> sample_main_record() {
    ConfigBlock block;
    auto& b = block.bytes;
    block.set_u32(0, 0);    // FP type "1642"
    b[4] = 0x60;            // slot scan, IO lamps, the 1642 marks
    b[5] = 4;               // Com Num 4
    b[6] = 0x00;            // straight bit order
    b[8] = (12 << 2) | 1;   // clock: pin 12, active high
    b[9] = (13 << 2) | 1;   // data: pin 13, active high
    b[10] = (14 << 2);      // scan_0: pin 14, active low
    b[20] = (20 << 2);      // lock lamp: pin 20, active low
    b[21] = (21 << 2) | 1;  // power lamp: pin 21, active high
    b[22] = (5 << 2);       // colon on pin 5
    // Hardware: Scart on TV/AV pin 1, TV mode 2; Chinese and English offered, English the default.
    block.set_u32(304, 1);
    b[308] = 1;
    b[309] = 2;
    b[325] = 1;
    b[326] = 1;
    b[334] = 1;
    // The LED map of a box that has been configured: its font, as the block upload writes it.
    std::size_t at = k_led_map.offset;
    for (const LedFontEntry& entry : led_font) {
        b[at++] = entry.character;
        b[at++] = entry.segments;
    }
    for (std::size_t i = 0; i < k_power_wave_values; ++i) {
        block.set_u16(k_power_wave.offset + 2 * i, static_cast<std::uint16_t>(i % 2 == 0 ? 500 : 1000));
    }
    return {b.begin(), b.begin() + k_main_record.length};
}

std::vector<std::uint8_t> sample_ir_record(std::uint16_t user_code, std::uint8_t base) {
    std::vector<std::uint8_t> data(k_ir_record_bytes);
    for (std::size_t i = 0; i < k_flash_ir_keys; ++i) {
        data[i] = i < 34 ? k_default_ir_keys[i].code : static_cast<std::uint8_t>(base + i);
    }
    data[k_ir_user_code_high] = static_cast<std::uint8_t>(user_code >> 8);
    data[k_ir_user_code_low] = static_cast<std::uint8_t>(user_code);
    return data;
}

}  // namespace

std::string sample_key_script() {
    std::string script = "CFGHEADER=toolcfg\n# key names of the sample box\n\n";
    append_records(script, "1_", k_ir_key_names, "ir");
    append_records(script, "2_", k_ir_key_names, "ir");
    append_records(script, "KEY_", k_fp_key_names, "fp");
    return script;
}

std::vector<std::uint8_t> gzip_compress(const std::string& text) {
    z_stream stream{};
    constexpr int k_gzip_window_bits = 15 + 16;  // 16 asks zlib for the gzip wrapper
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, k_gzip_window_bits, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        throw std::runtime_error("zlib cannot start");
    }
    std::vector<std::uint8_t> out(deflateBound(&stream, static_cast<uLong>(text.size())) + 32);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        throw std::runtime_error("zlib cannot compress the key script");
    }
    return out;
}

std::vector<std::uint8_t> make_sample_image() {
    return make_sample_image(sample_key_script());
}

std::vector<std::uint8_t> make_sample_image(const std::string& key_script) {
    std::vector<std::uint8_t> image(k_sample_size, k_erased);
    const char boot[] = "VELMORA STB BOOT";
    std::memcpy(image.data(), boot, sizeof boot - 1);

    std::vector<std::uint8_t> fp_keys(k_fp_record_bytes);
    for (std::size_t i = 0; i < k_flash_fp_keys; ++i) {
        fp_keys[i] = k_default_fp_keys[i].code;
    }
    put_directory(image, k_sample_directory_a, "CFG 1.0",
                  {
                      {TAG_MAIN, 0x200, sample_main_record()},
                      {TAG_IR1_KEYS, 0x400, sample_ir_record(0x7F80, 0x50)},
                      {TAG_IR2_KEYS, 0x440, sample_ir_record(0x40BF, 0x90)},
                      {TAG_FP_KEYS, 0x480, fp_keys},
                      {k_logo_tag, 0x500, std::vector<std::uint8_t>(32, 0xA5)},
                  });
    put_directory(image, k_sample_directory_b, "KEYS 1.0",
                  {{TAG_KEY_SCRIPT, 0x100, gzip_compress(key_script)}});
    return image;
}

}  // namespace velmora::image_tool
