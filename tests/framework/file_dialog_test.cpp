#include "framework/file_dialog.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace velmora {
namespace {

TEST(TranslateFilter, KeepsTheTextsAndJoinsThemTheQtWay) {
    struct Case {
        const char* windows;
        const char* qt;
    };
    const Case cases[] = {
        {"bin files (*.bin)|*.bin|All Files (*.*)|*.*||", "bin files (*.bin);;All Files (*.*)"},
        {"FP files(*.fp)|*.fp|All   files   (*.*)|*.*||", "FP files(*.fp);;All   files   (*.*)"},
        {"FPKEY files(*.fpkey)|*.fpkey|All   files   (*.*)|*.*||",
         "FPKEY files(*.fpkey);;All   files   (*.*)"},
        {"LED files(*.led)|*.led|All   files   (*.*)|*.*||", "LED files(*.led);;All   files   (*.*)"},
        // Without a closing "||", and with a text that names no pattern of its own.
        {"bin files (*.bin)|*.bin", "bin files (*.bin)"},
        {"Images|*.png;*.bmp||", "Images (*.png *.bmp)"},
        // The list ends at the first empty text; a text without a pattern stays as it is.
        {"A (*.a)|*.a||B (*.b)|*.b||", "A (*.a)"},
        {"Lonely (*.x)", "Lonely (*.x)"},
        {"", ""},
        {"||", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(translate_filter(c.windows), c.qt) << c.windows;
    }
}

TEST(DefaultExtension, IsAppendedOnlyToANameWithoutADot) {
    struct Case {
        const char* path;
        const char* extension;
        const char* result;
    };
    const Case cases[] = {
        {"/home/u/panel", "fp", "/home/u/panel.fp"},
        {"/home/u/panel", ".fpkey", "/home/u/panel.fpkey"},
        {"panel", "ir1", "panel.ir1"},
        {"/home/u/panel.fp", "fp", "/home/u/panel.fp"},
        {"/home/u/panel.bin", "fp", "/home/u/panel.bin"},  // any extension counts
        {"/home/u/panel.", "fp", "/home/u/panel."},
        {"/home/u/.fp", "fp", "/home/u/.fp"},
        {"/home/u.d/panel", "led", "/home/u.d/panel.led"},  // a dot in a folder is no extension
        {"/home/u/panel", "", "/home/u/panel"},
        {"/home/u/", "fp", "/home/u/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(apply_default_extension(c.path, c.extension), c.result) << c.path << " + " << c.extension;
    }
}

// Records each dialog and answers the next scripted path.
class ScriptedFileDialogs : public FileDialogPresenter {
public:
    struct Asked {
        QWidget* owner;
        FileDialogKind kind;
        FileDialogOptions options;
    };

    std::optional<std::string> present(QWidget* owner, FileDialogKind kind,
                                       const FileDialogOptions& options) override {
        asked.push_back({owner, kind, options});
        return answer;
    }

    std::vector<Asked> asked;
    std::optional<std::string> answer;
};

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override { previous_ = set_file_dialog_presenter(&dialogs_); }
    void TearDown() override { set_file_dialog_presenter(previous_); }

    ScriptedFileDialogs dialogs_;
    FileDialogPresenter* previous_ = nullptr;
};

TEST_F(FileDialogTest, OpenAndSaveReachThePresenterWithTheirOptions) {
    const FileDialogOptions fp{"FP files(*.fp)|*.fp|All   files   (*.*)|*.*||", "fp", "*.fp", true, true};
    dialogs_.answer = "/data/front";
    EXPECT_EQ(open_file_dialog(nullptr, fp), "/data/front.fp");
    dialogs_.answer = "/data/front.bak";
    EXPECT_EQ(save_file_dialog(nullptr, fp), "/data/front.bak");

    ASSERT_EQ(dialogs_.asked.size(), 2u);
    EXPECT_EQ(dialogs_.asked[0].kind, FileDialogKind::open);
    EXPECT_EQ(dialogs_.asked[1].kind, FileDialogKind::save);
    EXPECT_EQ(dialogs_.asked[1].options.filter, fp.filter);
    EXPECT_EQ(dialogs_.asked[1].options.initial_name, "*.fp");
    EXPECT_TRUE(dialogs_.asked[1].options.overwrite_prompt);
    EXPECT_TRUE(dialogs_.asked[1].options.hide_read_only);
}

TEST_F(FileDialogTest, ACancelledDialogAnswersNothing) {
    dialogs_.answer = std::nullopt;
    EXPECT_EQ(open_file_dialog(nullptr, FileDialogOptions{"bin files (*.bin)|*.bin||", "", "", true, true}),
              std::nullopt);
}

}  // namespace
}  // namespace velmora
