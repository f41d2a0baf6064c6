// The key map page's in-place editors and its side of key capturing.
#include <gtest/gtest.h>

#include <thread>

#include "pages/models/key_map_model.h"
#include "tests/pages/key_map_fixture.h"

namespace velmora::testing {
namespace {

const PageMessage k_invalid_cursor{MessageKind::warning, "Invalid cursor pos!", ""};

// The key event 0x12 0x34 0x05 as the worker hands it over: user code 0x3412, key 5.
constexpr CapturedKey k_key_event{0x3412, 0x05};

enum class Finish { enter, escape, button_down, none };

struct EditCase {
    const char* name;
    ListCell hit;
    Finish finish;
    bool opens;
    const char* cell_after;  // row 2, column 1 of the FP list
};

class Editing : public KeyMapTest, public ::testing::WithParamInterface<EditCase> {};

// Enter and a button down write the typed text; Escape drops it; only code cells open an editor,
// and with none open Enter writes nothing.
TEST_P(Editing, TypedTextReachesTheCellOnlyThroughACommittedEditor) {
    const EditCase c = GetParam();
    load_named(key_block(3, 0, 0));
    const std::string name_before = cell(KeyList::fp, 2, 0);

    EXPECT_EQ(model.open_editor_at(KeyList::fp, c.hit), c.opens);
    EXPECT_EQ(model.last_double_click(KeyList::fp), c.hit);
    if (c.opens) {
        EXPECT_EQ(model.editor_cell(KeyList::fp), c.hit);
        EXPECT_EQ(model.editor_text(KeyList::fp), cell(KeyList::fp, c.hit.row, c.hit.column));
        model.set_editor_text(KeyList::fp, "12");
    } else {
        EXPECT_EQ(model.editor_cell(KeyList::fp), ListCell{});
    }
    switch (c.finish) {
        case Finish::enter:
        case Finish::button_down:  // the list commits on a button down as on Enter
            model.commit_editor(KeyList::fp);
            break;
        case Finish::escape:
            model.cancel_editor(KeyList::fp);
            break;
        case Finish::none:
            break;
    }

    EXPECT_EQ(cell(KeyList::fp, 2, 1), c.cell_after);
    EXPECT_EQ(cell(KeyList::fp, 2, 0), name_before);
    if (c.finish != Finish::none) {
        EXPECT_EQ(model.editor_cell(KeyList::fp), ListCell{});
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Editing,
                         ::testing::Values(EditCase{"CodeCellEnter", {2, 1}, Finish::enter, true, "12"},
                                           EditCase{
                                               "CodeCellButtonDown", {2, 1}, Finish::button_down, true, "12"},
                                           EditCase{"CodeCellEscape", {2, 1}, Finish::escape, true, "242"},
                                           EditCase{"CodeCellStillOpen", {2, 1}, Finish::none, true, "242"},
                                           EditCase{"NameCellEnter", {2, 0}, Finish::enter, false, "242"},
                                           EditCase{"BesideTheCells", {-1, -1}, Finish::enter, false, "242"},
                                           EditCase{"PastTheRows", {3, 1}, Finish::enter, false, "242"},
                                           EditCase{"PastTheColumns", {2, 2}, Finish::enter, false, "242"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyMapTest, ANameCellDoubleClickKeepsAnOpenEditor) {
    load_named(key_block(3, 0, 0));
    ASSERT_TRUE(model.open_editor_at(KeyList::fp, {1, 1}));
    EXPECT_FALSE(model.open_editor_at(KeyList::fp, {2, 0}));
    EXPECT_EQ(model.editor_cell(KeyList::fp), (ListCell{1, 1}));
    EXPECT_EQ(model.last_double_click(KeyList::fp), (ListCell{2, 0}));
}

// Capturing starts on the button; keys go only into a code cell opened while it runs.
class Capture : public KeyMapTest {
protected:
    void SetUp() override {
        load_named(key_block(9, 60, 60));
        ASSERT_EQ(model.press_get_key_button(), KeyMapRequest::start_get_key);
    }

    // A double click as the list reports it: a button down commits, the editor opens, then the page.
    std::optional<PageMessage> double_click(KeyList list, ListCell hit) {
        model.commit_editor(list);
        model.open_editor_at(list, hit);
        return model.on_list_double_click(list);
    }
};

TEST_F(Capture, KeyGoesIntoTheOpenFpCellAndTheEditorReopensThere) {
    EXPECT_EQ(double_click(KeyList::fp, {3, 1}), std::nullopt);
    EXPECT_EQ(model.capture_target.load(), KeyList::fp);

    model.SetCapturedKey(k_key_event);
    EXPECT_EQ(model.last_capture(), (LastCapture{KeyList::fp, true, 5, 0, {3, 1}}));
    model.on_key_captured();

    EXPECT_EQ(cell(KeyList::fp, 3, 1), "5");
    EXPECT_EQ(model.editor_cell(KeyList::fp), (ListCell{3, 1}));
    EXPECT_EQ(model.editor_text(KeyList::fp), "5");
    EXPECT_EQ(model.user_code_text(Remote::ir1), "1234");
    EXPECT_EQ(model.user_code_text(Remote::ir2), "abcd");
}

struct IrCapture {
    int column;
    int base_index;
    CapturedKey value;
    const char* cell;
    const char* ir1_user_code;
    const char* ir2_user_code;
};

class CaptureIntoIr : public Capture, public ::testing::WithParamInterface<IrCapture> {};

// The IR code column says whose remote it was: column 1 sets the IR1 user code, column 3 the IR2's.
TEST_P(CaptureIntoIr, KeyAndUserCodeGoWhereTheEditorIs) {
    const IrCapture c = GetParam();
    model.select_number_base(c.base_index);
    EXPECT_EQ(double_click(KeyList::ir, {10, c.column}), std::nullopt);
    model.SetCapturedKey(c.value);
    model.on_key_captured();

    EXPECT_EQ(cell(KeyList::ir, 10, c.column), c.cell);
    EXPECT_EQ(model.user_code_text(Remote::ir1), c.ir1_user_code);
    EXPECT_EQ(model.user_code_text(Remote::ir2), c.ir2_user_code);
    EXPECT_EQ(model.editor_cell(KeyList::ir), (ListCell{10, c.column}));
    EXPECT_EQ(model.editor_text(KeyList::ir), c.cell);
}

INSTANTIATE_TEST_SUITE_P(Cells, CaptureIntoIr,
                         ::testing::Values(IrCapture{3, 0, k_key_event, "5", "1234", "3412"},
                                           IrCapture{1, 0, k_key_event, "5", "3412", "abcd"},
                                           IrCapture{1, 1, {0x00FF, 0xFF}, "ff", "ff", "abcd"},
                                           IrCapture{3, 1, {0x0000, 0x2A}, "2a", "1234", "0"}));

struct BadTarget {
    const char* name;
    ListCell hit;
};

class CaptureWithoutCell : public Capture, public ::testing::WithParamInterface<BadTarget> {};

// A double click on a name or beside the rows warns, and keys are then dropped.
TEST_P(CaptureWithoutCell, WarnsAndStoresNoKey) {
    EXPECT_EQ(double_click(KeyList::fp, {1, 1}), std::nullopt);
    EXPECT_EQ(double_click(KeyList::fp, GetParam().hit), k_invalid_cursor);
    EXPECT_EQ(model.capture_target.load(), KeyList::none);
    const auto before = snapshot();

    model.SetCapturedKey(k_key_event);
    EXPECT_EQ(model.last_capture().target, KeyList::none);
    model.on_key_captured();
    EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Cells, CaptureWithoutCell,
                         ::testing::Values(BadTarget{"NameCell", {1, 0}},
                                           BadTarget{"BesideTheRows", {-1, -1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(KeyMapCapture, ACellOpenedBeforeStartingIsNoTarget) {
    TempDriveRoot drive;
    KeyMapModel model;
    model.load(key_block(9, 0, 0));
    model.open_editor_at(KeyList::fp, {2, 1});
    EXPECT_EQ(model.on_list_double_click(KeyList::fp), std::nullopt);
    EXPECT_EQ(model.capture_target.load(), KeyList::none);

    ASSERT_EQ(model.press_get_key_button(), KeyMapRequest::start_get_key);
    model.SetCapturedKey(k_key_event);
    model.on_key_captured();
    EXPECT_FALSE(model.last_capture().recorded);
    EXPECT_EQ(model.rows(KeyList::fp)[2][1], "242");

    // Opening the cell again makes it the target.
    model.commit_editor(KeyList::fp);
    model.open_editor_at(KeyList::fp, {2, 1});
    EXPECT_EQ(model.on_list_double_click(KeyList::fp), std::nullopt);
    model.SetCapturedKey(k_key_event);
    model.on_key_captured();
    EXPECT_EQ(model.rows(KeyList::fp)[2][1], "5");
}

TEST_F(Capture, TurningToTheOtherListCommitsItsEditor) {
    double_click(KeyList::ir, {4, 3});
    model.set_editor_text(KeyList::ir, "77");
    EXPECT_EQ(double_click(KeyList::fp, {0, 1}), std::nullopt);
    EXPECT_EQ(cell(KeyList::ir, 4, 3), "77");
    EXPECT_EQ(model.editor_cell(KeyList::ir), ListCell{});
    EXPECT_EQ(model.active_list(), KeyList::fp);
    EXPECT_EQ(model.capture_target.load(), KeyList::fp);
}

// A key recorded for the FP list lands after the user turned to the IR list: the FP editor reopens
// beside the IR one. A base switch then commits both, so the FP editor's decimal text is never read as
// hexadecimal later (its "42" would have become 0x42).
TEST_F(Capture, ABaseSwitchCommitsAnEditorThatACaptureReopenedInTheOtherList) {
    double_click(KeyList::fp, {1, 1});
    model.SetCapturedKey(CapturedKey{0, 42});
    EXPECT_EQ(double_click(KeyList::ir, {0, 3}), std::nullopt);
    model.on_key_captured();
    ASSERT_EQ(model.editor_cell(KeyList::fp), (ListCell{1, 1}));
    ASSERT_EQ(model.editor_text(KeyList::fp), "42");
    ASSERT_EQ(model.active_list(), KeyList::ir);

    EXPECT_EQ(model.select_number_base(1), std::nullopt);
    EXPECT_EQ(model.editor_cell(KeyList::fp), ListCell{});
    EXPECT_EQ(cell(KeyList::fp, 1, 1), "2a");
    ConfigBlock block = key_block(9, 60, 60);
    ASSERT_EQ(model.store(block), std::nullopt);
    EXPECT_EQ(block.key_code(k_fp_key_table, 1), 42);
}

// After the editor is closed the target stays, but a key records nothing new; the page then writes
// the last recorded key again, into the same cell.
TEST_F(Capture, AClosedEditorRecordsNothing) {
    double_click(KeyList::fp, {3, 1});
    model.SetCapturedKey(k_key_event);
    model.on_key_captured();
    model.cancel_editor(KeyList::fp);
    type_into(KeyList::fp, {4, 1}, "1");
    model.cancel_editor(KeyList::fp);

    model.SetCapturedKey(CapturedKey{0, 9});
    EXPECT_EQ(model.last_capture(), (LastCapture{KeyList::fp, true, 5, 0, {3, 1}}));
    model.on_key_captured();
    EXPECT_EQ(cell(KeyList::fp, 3, 1), "5");
    EXPECT_EQ(cell(KeyList::fp, 4, 1), "1");
}

TEST_F(Capture, NoKeyRecordedYetWritesNothing) {
    double_click(KeyList::fp, {3, 1});
    model.cancel_editor(KeyList::fp);
    model.SetCapturedKey(k_key_event);
    EXPECT_EQ(model.last_capture(), (LastCapture{KeyList::fp, false, 0, 0, {}}));
    const auto before = snapshot();
    model.on_key_captured();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Capture, StopTurnsTheButtonBackAtOnceAndTheLaterEndChangesNothing) {
    EXPECT_EQ(model.get_key_caption(), "Stop Get Key");
    EXPECT_EQ(model.get_key_running.load(), 1);

    EXPECT_EQ(model.press_get_key_button(), std::nullopt);
    EXPECT_EQ(model.get_key_caption(), "Start Get Key");
    EXPECT_EQ(model.get_key_running.load(), 0);
    model.on_get_key_ended();
    EXPECT_EQ(model.get_key_caption(), "Start Get Key");
    EXPECT_EQ(model.get_key_running.load(), 0);

    // The next press starts again.
    EXPECT_EQ(model.press_get_key_button(), KeyMapRequest::start_get_key);
}

TEST_F(Capture, WorkerEndAndClearBothReturnToIdle) {
    model.on_get_key_ended();
    EXPECT_EQ(model.get_key_caption(), "Start Get Key");
    EXPECT_EQ(model.get_key_running.load(), 0);

    model.press_get_key_button();
    model.stop_get_key();
    EXPECT_EQ(model.get_key_caption(), "Start Get Key");
    EXPECT_EQ(model.get_key_running.load(), 0);
}

// The worker stores and then notifies; the page reads the record on the UI thread.
TEST_F(Capture, WorkerThreadHandsTheKeyOver) {
    double_click(KeyList::ir, {6, 3});
    std::thread worker([this] {
        while (model.get_key_running.load() != 0 && model.capture_target.load() == KeyList::none) {
        }
        model.SetCapturedKey(k_key_event);
        model.capture_target.store(KeyList::none);  // the worker's end
    });
    worker.join();
    model.on_key_captured();
    EXPECT_EQ(cell(KeyList::ir, 6, 3), "5");
    EXPECT_EQ(model.user_code_text(Remote::ir2), "3412");
    EXPECT_EQ(model.capture_target.load(), KeyList::none);
}

}  // namespace
}  // namespace velmora::testing
