// The key map page and the get-key worker on two threads, as the link runs them: the worker reads
// the running flag, the capture target and the number base, hands keys over with SetCapturedKey and
// posts key_captured, and at the end clears the target and posts key_capture_ended; meanwhile the
// user double-clicks cells, types and switches the base on the UI thread. Built into a module of its
// own so that it runs under ThreadSanitizer.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "framework/window_message.h"
#include "pages/dialogs/key_map_dlg.h"
#include "res/control_ids.h"
#include "tests/pages/key_map_fixture.h"
#include "tests/plugin/page_dialog_fakes.h"
#include "tests/support/turn_count.h"

namespace velmora::testing {
namespace {

using namespace key_map_id;

constexpr std::uint8_t k_last_key = 0x5a;
constexpr int k_user_rounds = 60;

class KeyMapThreads : public KeyMapTest {
protected:
    void double_click(KeyList list, int row, int column) {
        auto* table = page.control_as<QTableWidget>(list == KeyList::fp ? k_fp_key_list : k_ir_key_list);
        table->scrollToItem(table->item(row, column));
        test::double_click(table->viewport(), page.list(list).cell_rect(row, column).center());
    }

    page_test::RecordingMessages messages;
    page_test::ScriptedFileDialogs files;
    page_test::RequestWindow view;
    QWidget parent;
    KeyMapDlg page{model};
};

TEST_F(KeyMapThreads, KeysHandedOverWhileTheUserEditsLandInTheOpenCell) {
    ASSERT_TRUE(page.Create(&parent, &view));
    page.setGeometry(0, 0, 711, 380);
    page.show();
    parent.show();
    write_script(key_script(16, 128, 128));
    page.load(key_block(9, 60, 60));
    page.control_as<QPushButton>(k_get_key_button)->click();
    double_click(KeyList::fp, 3, 1);

    std::atomic<bool> user_done{false};
    std::atomic<int> handed_over{0};
    // One step a round of the user's: the worker looks again only after the UI thread has handled
    // its events once more, so it posts no faster than they are taken, however busy the machine is.
    test::TurnCount user_rounds;
    std::thread worker([&] {
        KeyMapModel& shared = page.model();
        std::uint32_t key = 0;
        // The worker's loop: it runs while the flag is on and hands keys over only to a list.
        while (!user_done.load() && shared.get_key_running.load() != 0) {
            const int round = user_rounds.value();
            if (shared.capture_target.load() != KeyList::none) {
                const bool hex = shared.number_base() == NumberBase::hexadecimal;
                page.SetCapturedKey(CapturedKey{static_cast<std::uint16_t>(hex ? 0xbeef : 0x1234),
                                                static_cast<std::uint8_t>(key++ & 0xFF)});
                post_message(&page, message_number(WindowMessage::key_captured));
                handed_over.fetch_add(1);
            }
            user_rounds.wait_for(round + 1);
        }
        page.SetCapturedKey(CapturedKey{0, k_last_key});
        post_message(&page, message_number(WindowMessage::key_captured));
        shared.capture_target.store(KeyList::none);
        post_message(&page, message_number(WindowMessage::key_capture_ended));
    });

    auto* base = page.control_as<QComboBox>(k_key_value_base_combo);
    for (int round = 0; round < k_user_rounds; ++round) {
        switch (round % 5) {
            case 0:
                double_click(KeyList::ir, round % 60, 3);
                break;
            case 1:
                page_test::type_into(page.list(KeyList::ir).editor(), std::to_string(round));
                break;
            case 2:
                page_test::choose_item(base, (round / 5) % 2);
                break;
            case 3:
                page_test::type_into(page.control_as<QLineEdit>(k_ir1_user_code_edit), "12");
                break;
            default:
                double_click(KeyList::fp, round % 9, 1);
                break;
        }
        QCoreApplication::processEvents();
        user_rounds.advance();
    }
    // The user's last act: the FP list's row 3 opened while capturing, so the last key goes there.
    double_click(KeyList::fp, 3, 1);
    QCoreApplication::processEvents();
    user_done.store(true);
    user_rounds.advance();
    worker.join();
    page_test::deliver_posted_messages();

    EXPECT_GT(handed_over.load(), 0);
    const LastCapture last = page.model().last_capture();
    EXPECT_EQ(last.target, KeyList::fp);
    EXPECT_EQ(last.cell, (ListCell{3, 1}));
    EXPECT_EQ(last.key, k_last_key);
    EXPECT_EQ(page.model().rows(KeyList::fp)[3][1], format_key_code(k_last_key, page.model().number_base()));
    EXPECT_EQ(page.control_text(k_get_key_button), "Start Get Key");
    EXPECT_EQ(page.model().get_key_running.load(), 0);
}

}  // namespace
}  // namespace velmora::testing
