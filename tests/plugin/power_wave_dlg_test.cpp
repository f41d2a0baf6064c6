// The power wave dialog: what OK writes into the target block, the refusal of a 64th value that
// keeps the dialog open, and Cancel.
#include "pages/dialogs/power_wave_dlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <string>

#include "res/control_ids.h"
#include "tests/plugin/page_dialog_fakes.h"

namespace velmora {
namespace {

using page_test::RecordingMessages;
using page_test::run_while_modal;
using page_test::ShownMessage;
using page_test::type_into;

using power_wave_id::k_power_wave_edit;
constexpr std::uint8_t k_filler = 0xA5;  // what the block holds where nothing should be written

std::string numbers(int count) {
    std::string text;
    for (int k = 1; k <= count; ++k) {
        text += (k == 1 ? "" : ",") + std::to_string(k);
    }
    return text;
}

ConfigBlock filled_block() {
    ConfigBlock block;
    block.bytes.fill(k_filler);
    return block;
}

std::array<std::uint16_t, k_power_wave_values> words_of(const ConfigBlock& block) {
    std::array<std::uint16_t, k_power_wave_values> words{};
    for (std::size_t k = 0; k < words.size(); ++k) {
        words[k] = block.u16(k_power_wave.offset + 2 * k);
    }
    return words;
}

bool outside_power_wave_untouched(const ConfigBlock& block) {
    for (std::size_t i = 0; i < block.bytes.size(); ++i) {
        if ((i < k_power_wave.offset || i >= k_power_wave.end()) && block.bytes[i] != k_filler) {
            return false;
        }
    }
    return true;
}

class PowerWaveDlgTest : public ::testing::Test {
protected:
    PowerWaveDlgTest() { dialog.set_target(&target); }

    QLineEdit* edit() { return dialog.control_as<QLineEdit>(k_power_wave_edit); }
    void click(int id) { dialog.control_as<QPushButton>(id)->click(); }

    // Opens the dialog with `initial`, lets the user type `typed` and click `button`.
    int open_and(const std::string& initial, const std::string& typed, int button) {
        dialog.set_text(initial);
        return run_while_modal([this] { return dialog.do_modal(nullptr); },
                               [&] {
                                   shown_at_opening = edit()->text().toStdString();
                                   type_into(edit(), typed);
                                   click(button);
                               });
    }

    RecordingMessages messages;
    ConfigBlock target = filled_block();
    CPowerWaveDlg dialog;
    std::string shown_at_opening;
};

TEST_F(PowerWaveDlgTest, IsTheModalPowerWaveDataConfigDialog) {
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Power Wave Data Config");
    int modal_seen = -1;
    run_while_modal([this] { return dialog.do_modal(nullptr); },
                    [&] {
                        modal_seen = dialog.isModal() && dialog.isVisible() ? 1 : 0;
                        click(k_id_cancel);
                    });
    EXPECT_EQ(modal_seen, 1);
}

struct OkCase {
    const char* name;
    std::string typed;
    std::vector<std::uint16_t> first_words;  // the rest are 0
};

void PrintTo(const OkCase& c, std::ostream* out) {
    *out << c.name;
}

class PowerWaveOkTest : public PowerWaveDlgTest, public ::testing::WithParamInterface<OkCase> {};

TEST_P(PowerWaveOkTest, OkWritesAll63WordsAndCloses) {
    const OkCase& c = GetParam();
    EXPECT_EQ(open_and("9,9,9", c.typed, k_id_ok), k_id_ok);

    std::array<std::uint16_t, k_power_wave_values> expected{};
    std::copy(c.first_words.begin(), c.first_words.end(), expected.begin());
    EXPECT_EQ(words_of(target), expected);
    EXPECT_TRUE(outside_power_wave_untouched(target));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dialog.text(), c.typed);
}

std::vector<std::uint16_t> one_to(int count) {
    std::vector<std::uint16_t> words;
    for (int k = 1; k <= count; ++k) {
        words.push_back(static_cast<std::uint16_t>(k));
    }
    return words;
}

// How a text reads as words is the model's rule; here OK takes what the edit holds, short or long.
INSTANTIATE_TEST_SUITE_P(Texts, PowerWaveOkTest,
                         ::testing::Values(OkCase{"one_number", "5", {5}},
                                           OkCase{"all_63", numbers(63), one_to(63)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PowerWaveDlgTest, A64thValueIsRefusedAndTheDialogStaysOpen) {
    bool open_after_refusal = false;
    std::vector<ShownMessage> shown_while_open;
    const int result = run_while_modal([this] { return dialog.do_modal(nullptr); },
                                       [&] {
                                           type_into(edit(), numbers(64));
                                           click(k_id_ok);
                                           open_after_refusal = dialog.isVisible();
                                           shown_while_open = messages.shown;
                                           click(k_id_cancel);
                                       });

    EXPECT_TRUE(open_after_refusal);
    EXPECT_EQ(shown_while_open, (std::vector<ShownMessage>{{"There is more than 63 group data, please check!",
                                                            application_caption()}}));
    EXPECT_EQ(result, k_id_cancel);
    EXPECT_EQ(target.bytes, filled_block().bytes);
}

// A value that does not fit a word is refused by its place, selected in the edit for the user to
// mend, and nothing is stored until OK takes the whole text.
TEST_F(PowerWaveDlgTest, AValueThatDoesNotFitIsRefusedSelectedAndStoresNothing) {
    struct Seen {
        bool open = false;
        std::vector<ShownMessage> shown;
        QString selected;
        int selection_start = -1;
    };
    std::vector<Seen> seen;
    const auto look = [&] {
        seen.push_back(
            {dialog.isVisible(), messages.shown, edit()->selectedText(), edit()->selectionStart()});
        messages.shown.clear();
    };
    const int result = run_while_modal([this] { return dialog.do_modal(nullptr); },
                                       [&] {
                                           type_into(edit(), "100,200,abc,300");
                                           click(k_id_ok);
                                           look();
                                           type_into(edit(), "1,-5");
                                           click(k_id_ok);
                                           look();
                                           type_into(edit(), "\u00e9,70000");  // counted in characters
                                           click(k_id_ok);
                                           look();
                                           type_into(edit(), "100,200,0,300");
                                           click(k_id_ok);
                                       });
    ASSERT_EQ(seen.size(), 3u);
    const std::vector<std::pair<std::string, std::pair<QString, int>>> expected{
        {"The 'Power Wave Data 2' value is not valid!", {"abc", 8}},
        {"The 'Power Wave Data 1' value is not valid!", {"-5", 2}},
        {"The 'Power Wave Data 0' value is not valid!", {QStringLiteral("\u00e9"), 0}},
    };
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_TRUE(seen[i].open);
        EXPECT_EQ(seen[i].shown, (std::vector<ShownMessage>{{expected[i].first, application_caption()}}));
        EXPECT_EQ(seen[i].selected, expected[i].second.first);
        EXPECT_EQ(seen[i].selection_start, expected[i].second.second);
    }
    EXPECT_EQ(result, k_id_ok);
    EXPECT_EQ(target.u16(k_power_wave.offset + 4), 0);
    EXPECT_EQ(target.u16(k_power_wave.offset + 6), 300);
}

TEST_F(PowerWaveDlgTest, CancelStoresNothingAndTheNextOpeningShowsTheTextGiven) {
    EXPECT_EQ(open_and("1,2,3", "4,5,6", k_id_cancel), k_id_cancel);
    EXPECT_EQ(shown_at_opening, "1,2,3");
    EXPECT_EQ(edit()->text().toStdString(), "1,2,3");  // pushed back on Cancel
    EXPECT_EQ(target.bytes, filled_block().bytes);

    EXPECT_EQ(open_and("7,8", "7,8", k_id_ok), k_id_ok);
    EXPECT_EQ(shown_at_opening, "7,8");
    EXPECT_EQ(target.u16(k_power_wave.offset), 7);
}

TEST_F(PowerWaveDlgTest, ThePlotUnderTheTextFollowsItAsTheUserTypes) {
    std::vector<PowerWavePoint> at_opening;
    std::vector<std::vector<PowerWavePoint>> while_typing;
    bool under_the_text = false;
    QImage flat;
    QImage spiked;
    dialog.set_text("1,2,3");
    run_while_modal([this] { return dialog.do_modal(nullptr); },
                    [&] {
                        at_opening = dialog.plot().points();
                        auto* plot = dialog.findChild<QWidget*>(QStringLiteral("power_wave_plot"));
                        under_the_text = plot != nullptr && plot->isVisible() && plot->y() > edit()->y();
                        type_into(edit(), "500,500");
                        flat = plot->grab().toImage();
                        // Each key typed redraws: a new place, "5", "50", "500", "5000", then the gap of "x".
                        for (const char* key : {",", "5", "0", "0", "0", "x"}) {
                            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(key));
                            QCoreApplication::sendEvent(edit(), &press);
                            while_typing.push_back(dialog.plot().points());
                        }
                        spiked = plot->grab().toImage();
                        click(k_id_cancel);
                    });
    EXPECT_TRUE(under_the_text);
    EXPECT_EQ(at_opening, power_wave_points("1,2,3"));
    ASSERT_EQ(while_typing.size(), 6u);
    EXPECT_EQ(while_typing[1][2], PowerWavePoint{5});
    EXPECT_EQ(while_typing[4], power_wave_points("500,500,5000"));
    EXPECT_EQ(while_typing[4][2], PowerWavePoint{5000});
    EXPECT_EQ(while_typing[5][2], std::nullopt);  // "5000x" is no number: a gap
    EXPECT_NE(flat, spiked);
    // Cancel puts the opening text back, and the plot with it.
    EXPECT_EQ(dialog.plot().points(), power_wave_points("1,2,3"));
    EXPECT_TRUE(outside_power_wave_untouched(target));
    EXPECT_EQ(words_of(target), words_of(filled_block()));
}

TEST_F(PowerWaveDlgTest, ThePlotIsNamedForAssistiveToolsAndTakesNoFocus) {
    auto* plot = dialog.findChild<QWidget*>(QStringLiteral("power_wave_plot"));
    ASSERT_NE(plot, nullptr);
    EXPECT_FALSE(plot->accessibleName().isEmpty());
    EXPECT_FALSE(plot->accessibleDescription().isEmpty());
    EXPECT_EQ(plot->focusPolicy(), Qt::NoFocus);
}

TEST_F(PowerWaveDlgTest, EscapeIsCancel) {
    const int result = run_while_modal([this] { return dialog.do_modal(nullptr); },
                                       [&] {
                                           type_into(edit(), "3");
                                           test::press_key(edit(), Qt::Key_Escape);
                                       });
    EXPECT_EQ(result, k_id_cancel);
    EXPECT_EQ(target.bytes, filled_block().bytes);
}

}  // namespace
}  // namespace velmora
