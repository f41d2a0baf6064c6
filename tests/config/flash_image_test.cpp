#include "config/flash_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "config/byte_order.h"
#include "tests/config/image_builder.h"

namespace velmora {
namespace {

using test::crc_of;
using test::ImageBuilder;
using test::TestEntry;

constexpr std::size_t k_a = 100;
constexpr std::size_t k_b = 0x10000;
constexpr std::size_t k_size = 0x10400;
constexpr std::uint8_t k_unknown_tag = 0x77;

// Directory A with every record kind and an unknown one; directory B with a 20-byte script.
ImageBuilder sound_image() {
    ImageBuilder image(k_size);
    image
        .directory(k_a, {{TAG_MAIN, 0x200, 464},
                         {TAG_IR1_KEYS, 0x400, 62},
                         {TAG_IR2_KEYS, 0x440, 62},
                         {TAG_FP_KEYS, 0x480, 9},
                         {k_unknown_tag, 0x500, 16}})
        .pattern(k_a + 0x200, 464, 1)
        .pattern(k_a + 0x400, 62, 0x40)
        .pattern(k_a + 0x440, 62, 0x80)
        .pattern(k_a + 0x480, 9, 0xC0)
        .pattern(k_a + 0x500, 16, 0xD0);
    image.directory(k_b, {{TAG_KEY_SCRIPT, 0x100, 20}}).pattern(k_b + 0x100, 20, 0x1F);
    return image;
}

struct Extracted {
    int result;
    ConfigBlock block;
    KeyScriptBuffer script;
    int unpacked = 0;
};

Extracted extract(const std::vector<std::uint8_t>& image, ConfigBlock block = {}) {
    Extracted out{0, block, {}};
    out.result = ExtractConfig(image, out.block, out.script, [&] { ++out.unpacked; });
    return out;
}

TEST(ExtractConfig, FillsTheBlockFromEveryRecord) {
    const auto image = sound_image().build();
    const Extracted x = extract(image);
    ASSERT_EQ(x.result, 1);
    EXPECT_EQ(x.unpacked, 1);
    for (std::size_t i = 0; i < 464; ++i) {
        ASSERT_EQ(x.block.bytes[i], static_cast<std::uint8_t>(1 + i)) << i;
    }
    // Codes replace the low byte only: the default key numbers stay in the high half.
    EXPECT_EQ(x.block.key_slot(k_ir1_table, 0), 0x00010040u);
    EXPECT_EQ(x.block.key_slot(k_ir2_table, 59), 0x006a0000u | static_cast<std::uint8_t>(0x80 + 59));
    EXPECT_EQ(x.block.key_slot(k_fp_key_table, 8), 0x005d00C8u);
    EXPECT_EQ(x.block.key_slot(k_ir1_table, 60), 0u);
    EXPECT_EQ(x.block.u16(k_ir1_table.count_offset), 60);
    EXPECT_EQ(x.block.u16(k_ir2_table.count_offset), 60);
    EXPECT_EQ(x.block.u16(k_fp_key_table.count_offset), 9);
    // The user code is stored high byte first in the record, low byte first in the block.
    EXPECT_EQ(x.block.u16(k_ir1_user_code_offset), ((0x40 + 60) << 8) | (0x40 + 61));
    EXPECT_EQ(x.block.bytes[k_ir2_user_code_offset + 1], 0x80 + 60);
    EXPECT_EQ(x.block.bytes[k_ir2_user_code_offset], 0x80 + 61);
    ASSERT_EQ(x.script.size, 20u);
    EXPECT_EQ(x.script.bytes[0], 0x1F);
    EXPECT_EQ(x.script.bytes[19], 0x1F + 19);
}

TEST(ExtractConfig, MainRecordIsCopiedWholeWhateverItsLengthSays) {
    auto builder = sound_image();
    builder.directory(k_a, {{TAG_MAIN, 0x200, 4}});
    const Extracted x = extract(builder.build());
    ASSERT_EQ(x.result, 1);
    EXPECT_EQ(x.block.bytes[463], static_cast<std::uint8_t>(1 + 463));
}

TEST(ExtractConfig, OnlyAMainRecordLeavesDefaultsCountsAndUserCodes) {
    auto builder = sound_image();
    builder.directory(k_a, {{TAG_MAIN, 0x200, 464}});
    ConfigBlock before;
    before.set_u16(k_ir1_table.count_offset, 7);
    before.set_u16(k_ir2_user_code_offset, 0xBEEF);
    const Extracted x = extract(builder.build(), before);
    ASSERT_EQ(x.result, 1);
    EXPECT_EQ(x.block.key_slot(k_ir1_table, 0), 0x0001000au);
    EXPECT_EQ(x.block.u16(k_ir1_table.count_offset), 7);
    EXPECT_EQ(x.block.u16(k_ir2_user_code_offset), 0xBEEF);
    EXPECT_EQ(x.block.u16(k_fp_key_table.count_offset), 0);
}

TEST(ExtractConfig, LaterEntryOfATagWinsAndOtherTagsAreSkipped) {
    auto builder = sound_image();
    builder.directory(k_a, {{TAG_MAIN, 0x200, 464},
                            {TAG_KEY_SCRIPT, 0x7000, 1},  // a B tag in A: not read
                            {TAG_FP_KEYS, 0x480, 9},
                            {TAG_FP_KEYS, 0x490, 9}});
    builder.pattern(k_a + 0x490, 9, 0x10);
    builder.directory(k_b,
                      {{TAG_MAIN, 0x300000, 464}, {TAG_KEY_SCRIPT, 0x100, 20}, {TAG_KEY_SCRIPT, 0x100, 3}});
    const Extracted x = extract(builder.build());
    ASSERT_EQ(x.result, 1);
    EXPECT_EQ(x.block.key_code(k_fp_key_table, 0), 0x10);
    EXPECT_EQ(x.script.size, 3u);
}

TEST(ExtractConfig, RefusalsAndWhetherTheScriptIsUnpacked) {
    struct Case {
        const char* what;
        std::function<void(ImageBuilder&)> change;
        int unpacked;
    };
    const Case cases[] = {
        {"no main record",
         [](ImageBuilder& b) {
             b.directory(k_a, {{TAG_FP_KEYS, 0x480, 9}});
         },
         1},
        {"no directory B", [](ImageBuilder& b) { b.bytes(k_b, {'x'}); }, 0},
        {"no directory A", [](ImageBuilder& b) { b.bytes(k_a, {'x'}); }, 0},
    };
    for (const Case& c : cases) {
        auto builder = sound_image();
        c.change(builder);
        const Extracted x = extract(builder.build());
        EXPECT_EQ(x.result, 0) << c.what;
        EXPECT_EQ(x.unpacked, c.unpacked) << c.what;
        // The defaults are preset before anything else.
        EXPECT_EQ(x.block.key_slot(k_fp_key_table, 1) >> 16, 17u) << c.what;
    }
}

TEST(ExtractConfig, DirectoryBWithoutScriptStillUnpacksWhatTheBufferHeld) {
    auto builder = sound_image();
    builder.directory(k_b, {{k_unknown_tag, 0x100, 20}});
    ConfigBlock block;
    KeyScriptBuffer script;
    script.size = 5;
    script.bytes[0] = 0x42;
    int unpacked = 0;
    EXPECT_EQ(ExtractConfig(builder.build(), block, script, [&] { ++unpacked; }), 1);
    EXPECT_EQ(unpacked, 1);
    EXPECT_EQ(script.size, 5u);
    EXPECT_EQ(script.bytes[0], 0x42);
}

TEST(DirectorySearch, WindowLimits) {
    struct Case {
        std::size_t marker;
        SearchWindow window;
        bool found;
    };
    const Case cases[] = {
        {0, k_window_a, true},       {1023, k_window_a, true},    {1024, k_window_a, false},
        {0xFFFF, k_window_b, false}, {0x10000, k_window_b, true}, {66559, k_window_b, true},
        {66560, k_window_b, false},
    };
    for (const Case& c : cases) {
        const auto image = ImageBuilder(70000).marker(c.marker).build();
        EXPECT_EQ(find_marker(image, c.window) == c.marker, c.found) << c.marker;
        EXPECT_EQ(find_marker(image, c.window) != k_no_marker, c.found) << c.marker;
    }
}

TEST(DirectorySearch, LowerOfTwoMarkersWinsAndAMarkerMustFitTheImage) {
    const auto two = ImageBuilder(2000).marker(700).marker(300).build();
    EXPECT_EQ(find_marker(two, k_window_a), 300u);

    auto cut = ImageBuilder(1030).marker(1018).build();
    cut.resize(1029);  // the marker's last byte is gone
    EXPECT_EQ(find_marker(cut, k_window_a), k_no_marker);
    EXPECT_EQ(find_marker(std::vector<std::uint8_t>(5, '*'), k_window_a), k_no_marker);
}

// Images that point outside themselves: refused by both steps, nothing written.
TEST(MalformedImage, IsRefusedWithoutTouchingAnythingOutside) {
    struct Case {
        const char* what;
        std::function<std::vector<std::uint8_t>()> make;
        bool in_directory_a = true;  // Generate reads only directory A
    };
    const auto with_a = [](std::vector<TestEntry> entries, std::uint16_t count = 0, std::uint16_t size = 48) {
        auto b = sound_image();
        b.directory(k_a, entries, count ? count : static_cast<std::uint16_t>(entries.size()), size);
        return b.build();
    };
    const Case cases[] = {
        {"header cut by the image end", [] { return ImageBuilder(1030, 0).marker(1010).build(); }},
        {"entries past the image end",
         [] {
             auto i = ImageBuilder(1100, 0).directory(1000, {}, 10, 48).build();
             return i;
         }},
        {"entries over 3076 bytes",
         [&] {
             return with_a({{TAG_MAIN, 0x200, 464}}, 65, 48);
         }},
        {"entries read past the buffer",
         [&] {
             return with_a({{TAG_MAIN, 0x200, 464}}, 100, 1);
         }},
        {"main record past the end",
         [&] {
             return with_a({{TAG_MAIN, k_size - k_a - 463, 1}});
         }},
        {"main length past the end",
         [&] {
             return with_a({{TAG_MAIN, 0x200, k_size}});
         }},
        {"IR record without its user code",
         [&] {
             return with_a({{TAG_MAIN, 0x200, 464}, {TAG_IR1_KEYS, k_size - k_a - 61, 1}});
         }},
        {"IR length past the end",
         [&] {
             return with_a({{TAG_MAIN, 0x200, 464}, {TAG_IR2_KEYS, 0x400, 0x20000}});
         }},
        {"FP offset that would wrap",
         [&] {
             return with_a({{TAG_MAIN, 0x200, 464}, {TAG_FP_KEYS, 0xFFFFFFF0u, 9}});
         }},
        {"key script over 10240 bytes",
         [] {
             auto b = sound_image();
             b.directory(k_b, {{TAG_KEY_SCRIPT, 0, 10241}});
             return b.build();
         },
         false},
        {"key script past the end",
         [] {
             auto b = sound_image();
             b.directory(k_b, {{TAG_KEY_SCRIPT, 0x3F0, 100}});
             return b.build();
         },
         false},
    };
    for (const Case& c : cases) {
        const auto image = c.make();
        const Extracted x = extract(image);
        EXPECT_EQ(x.result, 0) << c.what;
        EXPECT_EQ(x.unpacked, 0) << c.what;
        if (c.in_directory_a) {
            auto written = image;
            EXPECT_EQ(WriteBackConfig(written, ConfigBlock{}), 0) << c.what;
            EXPECT_EQ(written, image) << c.what;
        }
    }
}

TEST(MalformedImage, RecordsAtTheVeryEndAreStillSound) {
    auto b = sound_image();
    b.directory(k_a, {{TAG_MAIN, k_size - k_a - 464, 464}, {TAG_IR1_KEYS, k_size - k_a - 62, 62}});
    EXPECT_EQ(extract(b.build()).result, 1);
    auto script = ImageBuilder(k_b + 0x100 + 10240);
    script.directory(k_a, {{TAG_MAIN, 0x200, 464}}).directory(k_b, {{TAG_KEY_SCRIPT, 0x100, 10240}});
    EXPECT_EQ(extract(script.build()).result, 1);
}

TEST(WriteBackConfig, WritesRecordsAndFreshCrcsAndNothingElse) {
    const auto input = sound_image().build();
    Extracted x = extract(input);
    x.block.bytes[7] = 0x5A;
    x.block.set_key_code(k_ir1_table, 0, 0xAB);
    x.block.set_key_code(k_fp_key_table, 8, 0xCD);
    x.block.set_u16(k_ir1_user_code_offset, 0x1234);
    auto output = input;
    ASSERT_EQ(WriteBackConfig(output, x.block), 1);

    EXPECT_EQ(output[k_a + 0x200 + 7], 0x5A);
    EXPECT_EQ(output[k_a + 0x400], 0xAB);
    EXPECT_EQ(output[k_a + 0x400 + 60], 0x12);  // block byte 1559 first
    EXPECT_EQ(output[k_a + 0x400 + 61], 0x34);
    EXPECT_EQ(output[k_a + 0x480 + 8], 0xCD);

    const struct {
        std::size_t entry;
        std::size_t data;
        std::size_t length;
    } records[] = {{0, 0x200, 464}, {1, 0x400, 62}, {2, 0x440, 62}, {3, 0x480, 9}};
    for (const auto& r : records) {
        const std::size_t crc_at = k_a + k_entries_offset + r.entry * k_entry_stride + k_entry_crc_offset;
        EXPECT_EQ(read_le32(output.data() + crc_at), crc_of(output, k_a + r.data, r.length)) << r.entry;
    }
    // Every byte outside directory A's entries and the four records is the input's.
    std::vector<bool> may_change(input.size(), false);
    for (std::size_t i = 0; i < 5 * k_entry_stride; ++i)
        may_change[k_a + k_entries_offset + i] = true;
    for (const auto& r : records)
        for (std::size_t i = 0; i < r.length; ++i)
            may_change[k_a + r.data + i] = true;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (!may_change[i]) {
            ASSERT_EQ(output[i], input[i]) << i;
        }
    }
    // The unknown entry keeps its directory bytes.
    EXPECT_EQ(0, std::memcmp(output.data() + k_a + k_entries_offset + 4 * k_entry_stride,
                             input.data() + k_a + k_entries_offset + 4 * k_entry_stride, k_entry_stride));
}

TEST(WriteBackConfig, CrcCoversTheLengthFieldWhetherLongerOrShorter) {
    auto builder = sound_image();
    builder.directory(k_a, {{TAG_MAIN, 0x200, 500}, {TAG_FP_KEYS, 0x480, 4}});
    auto image = builder.build();
    ConfigBlock block;
    block.bytes.fill(0x11);
    ASSERT_EQ(WriteBackConfig(image, block), 1);
    EXPECT_EQ(read_le32(image.data() + k_a + 28 + 12), crc_of(image, k_a + 0x200, 500));
    EXPECT_EQ(read_le32(image.data() + k_a + 28 + 48 + 12), crc_of(image, k_a + 0x480, 4));
    EXPECT_EQ(image[k_a + 0x480 + 8], 0x11);  // all nine codes written although the CRC covers four
}

TEST(WriteBackConfig, DirectoryIsWrittenBackAfterEveryEntry) {
    // The FP record overlaps the directory's own entries: the entries win, as they are written last.
    ImageBuilder builder = sound_image();
    builder.directory(k_a, {{TAG_MAIN, 0x200, 464}, {TAG_FP_KEYS, k_entries_offset, 9}});
    auto image = builder.build();
    const auto before = image;
    ConfigBlock block;
    block.bytes.fill(0x22);
    ASSERT_EQ(WriteBackConfig(image, block), 1);
    EXPECT_EQ(image[k_a + k_entries_offset], TAG_MAIN);
    EXPECT_EQ(image[k_a + k_entries_offset + 4], before[k_a + k_entries_offset + 4]);
    // The CRC was taken over the bytes as the FP step wrote them.
    std::vector<std::uint8_t> fp_view(9, 0x22);
    EXPECT_EQ(read_le32(image.data() + k_a + 28 + 48 + 12), crc_of(fp_view, 0, 9));
}

TEST(WriteBackConfig, WithoutDirectoryAOrEntriesNothingIsWritten) {
    auto no_a = ImageBuilder(4096).build();
    const auto copy = no_a;
    EXPECT_EQ(WriteBackConfig(no_a, ConfigBlock{}), 0);
    EXPECT_EQ(no_a, copy);

    auto builder = sound_image();
    builder.directory(k_a, {}, 0, 48);
    auto empty = builder.build();
    const auto empty_copy = empty;
    EXPECT_EQ(WriteBackConfig(empty, ConfigBlock{}), 1);
    EXPECT_EQ(empty, empty_copy);
}

TEST(WriteBackConfig, ExtractThenWriteBackReproducesASoundImage) {
    auto builder = sound_image();
    auto image = builder.build();
    Extracted x = extract(image);
    ASSERT_EQ(WriteBackConfig(image, x.block), 1);
    auto again = image;
    ASSERT_EQ(WriteBackConfig(again, extract(image).block), 1);
    EXPECT_EQ(again, image);
}

// Generate as the box's tools do it, one record at a time, each CRC read straight off the bytes just
// written: the model the one-pass CRCs must match byte for byte.
std::vector<std::uint8_t> write_back_one_record_at_a_time(std::vector<std::uint8_t> image,
                                                          const ConfigBlock& block) {
    RecordDirectory a;
    EXPECT_EQ(a.locate(image, k_window_a), DirectoryStatus::found);
    for (std::size_t i = 0; i < a.entry_count(); ++i) {
        const RecordEntry entry = a.entry(i);
        std::uint8_t* data = image.data() + a.data_position(entry);
        bool written = true;
        if (entry.tag == TAG_IR1_KEYS || entry.tag == TAG_IR2_KEYS) {
            const bool ir1 = entry.tag == TAG_IR1_KEYS;
            for (std::size_t k = 0; k < 60; ++k) {
                data[k] = block.key_code(ir1 ? k_ir1_table : k_ir2_table, k);
            }
            const std::size_t user_code = ir1 ? k_ir1_user_code_offset : k_ir2_user_code_offset;
            data[60] = block.bytes[user_code + 1];
            data[61] = block.bytes[user_code];
        } else if (entry.tag == TAG_FP_KEYS) {
            for (std::size_t k = 0; k < 9; ++k) {
                data[k] = block.key_code(k_fp_key_table, k);
            }
        } else if (entry.tag == TAG_MAIN) {
            std::memcpy(data, block.bytes.data(), 464);
        } else {
            written = false;
        }
        if (written) {
            a.set_crc(i, crc32_update(k_crc32_initial, data, entry.length));
        }
        std::copy(a.entries().begin(), a.entries().end(),
                  image.begin() + static_cast<std::ptrdiff_t>(a.entries_position()));
    }
    return image;
}

// Records that overlap each other and the directory, nest, repeat and cover the whole image: every
// CRC is that of its bytes at the moment its record was written, as if taken one record at a time.
TEST(WriteBackConfig, HostileRecordsGetTheCrcsOfTheirBytesAsWritten) {
    constexpr std::size_t k_image = 0x20000;
    constexpr auto k_to_end = static_cast<std::uint32_t>(k_image - k_a);
    std::vector<TestEntry> sixty_over_everything;
    for (std::uint32_t i = 0; i < 60; ++i) {
        const std::uint8_t tags[] = {TAG_MAIN, TAG_IR1_KEYS, TAG_IR2_KEYS, TAG_FP_KEYS, k_unknown_tag};
        // Each starts a little further in and runs to the image's end, over the directory and B.
        sixty_over_everything.push_back({tags[i % 5], i * 7, k_to_end - i * 7});
    }
    struct Case {
        const char* what;
        std::vector<TestEntry> entries;
    };
    const Case cases[] = {
        {"records inside one another",
         {{TAG_MAIN, 0x200, 0x4000}, {TAG_IR1_KEYS, 0x300, 62}, {TAG_FP_KEYS, 0x280, 0x100}}},
        {"records overlapping their neighbours",
         {{TAG_IR1_KEYS, 0x400, 100}, {TAG_IR2_KEYS, 0x420, 100}, {TAG_FP_KEYS, 0x410, 0x40}}},
        {"records over the directory",
         {{TAG_MAIN, 0, 0x300}, {TAG_FP_KEYS, k_entries_offset + 10, 9}, {TAG_IR2_KEYS, 20, 200}}},
        {"the same record twice, and empty ones",
         {{TAG_MAIN, 0x200, 464}, {TAG_MAIN, 0x200, 464}, {TAG_FP_KEYS, 0x600, 0}, {TAG_IR1_KEYS, 0x700, 0}}},
        {"records over the whole image", {{TAG_MAIN, 0, k_to_end}, {TAG_FP_KEYS, 0, k_to_end}}},
        {"sixty records over everything", sixty_over_everything},
    };
    ConfigBlock block;
    for (std::size_t i = 0; i < block.bytes.size(); ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageBuilder builder(k_image);
        builder.pattern(0, k_image, 0x31).directory(k_a, c.entries).directory(k_b, {});
        const std::vector<std::uint8_t> input = builder.build();
        std::vector<std::uint8_t> output = input;
        ASSERT_EQ(WriteBackConfig(output, block), 1);
        EXPECT_EQ(output, write_back_one_record_at_a_time(input, block));
        EXPECT_NE(output, input);
    }
}

}  // namespace
}  // namespace velmora
