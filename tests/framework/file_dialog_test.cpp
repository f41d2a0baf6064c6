#include "framework/file_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
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
    void SetUp() override { previous = set_file_dialog_presenter(&dialogs); }
    void TearDown() override { set_file_dialog_presenter(previous); }

    ScriptedFileDialogs dialogs;
    FileDialogPresenter* previous = nullptr;
};

TEST_F(FileDialogTest, OpenAndSaveReachThePresenterWithTheirOptions) {
    const FileDialogOptions fp{
        "FP files(*.fp)|*.fp|All   files   (*.*)|*.*||", "fp", "*.fp", true, true, "", ""};
    dialogs.answer = "/data/front";
    EXPECT_EQ(open_file_dialog(nullptr, fp), "/data/front.fp");
    dialogs.answer = "/data/front.bak";
    EXPECT_EQ(save_file_dialog(nullptr, fp), "/data/front.bak");

    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[0].kind, FileDialogKind::open);
    EXPECT_EQ(dialogs.asked[1].kind, FileDialogKind::save);
    EXPECT_EQ(dialogs.asked[1].options.filter, fp.filter);
    EXPECT_EQ(dialogs.asked[1].options.initial_name, "*.fp");
    EXPECT_TRUE(dialogs.asked[1].options.overwrite_prompt);
    EXPECT_TRUE(dialogs.asked[1].options.hide_read_only);
}

TEST_F(FileDialogTest, ACancelledDialogAnswersNothing) {
    dialogs.answer = std::nullopt;
    EXPECT_EQ(
        open_file_dialog(nullptr, FileDialogOptions{"bin files (*.bin)|*.bin||", "", "", true, true, "", ""}),
        std::nullopt);
}

// The folders live in the test program's own settings (the test main keeps them away from the
// user's); each test starts with none remembered and no input image.
class RememberedFolderTest : public FileDialogTest {
protected:
    void SetUp() override {
        FileDialogTest::SetUp();
        forget_everything();
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("last")));
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("images")));
    }
    void TearDown() override {
        forget_everything();
        FileDialogTest::TearDown();
    }

    static QSettings settings() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velmora"),
                         QStringLiteral("velmora"));
    }
    static void forget_everything() {
        settings().remove(QStringLiteral("dialog_folders"));
        set_input_image("");
    }
    std::string folder(const char* name) const {
        return root.filePath(QString::fromLatin1(name)).toStdString();
    }
    static FileDialogOptions side_file(const char* extension) {
        FileDialogOptions options;
        options.default_extension = extension;
        options.folder_kind = extension;
        return options;
    }
    // The folder the next dialog of `kind` is shown in.
    std::string shown_in(const char* kind) {
        dialogs.answer = std::nullopt;
        open_file_dialog(nullptr, side_file(kind));
        return dialogs.asked.back().options.start_folder;
    }

    QTemporaryDir root;
};

TEST_F(RememberedFolderTest, TheStartFolderIsTheLastUsedElseBesideTheInputImageElseHome) {
    enum class Expect { last, beside_input, home };
    struct Case {
        const char* name;
        bool last_used;          // a folder was remembered for the kind
        bool last_used_deleted;  // ... and has gone since
        bool input_image;        // the view knows an input image
        bool input_folder_deleted;
        Expect expect;
    };
    const Case cases[] = {
        {"last used exists", true, false, true, false, Expect::last},
        {"last used was deleted", true, true, true, false, Expect::beside_input},
        {"last used was deleted, no input image", true, true, false, false, Expect::home},
        {"none but the input image known", false, false, true, false, Expect::beside_input},
        {"none, the input image's folder deleted", false, false, true, true, Expect::home},
        {"none", false, false, false, false, Expect::home},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        forget_everything();
        QDir(root.path()).mkpath(QStringLiteral("last"));
        QDir(root.path()).mkpath(QStringLiteral("images"));
        if (c.last_used) {
            remember_folder("hw", folder("last") + "/box.hw");
        }
        if (c.last_used_deleted) {
            ASSERT_TRUE(QDir(QString::fromStdString(folder("last"))).removeRecursively());
        }
        if (c.input_image) {
            set_input_image(folder("images") + "/flash.bin");
        }
        if (c.input_folder_deleted) {
            ASSERT_TRUE(QDir(QString::fromStdString(folder("images"))).removeRecursively());
        }
        const std::string expected = c.expect == Expect::last           ? folder("last")
                                     : c.expect == Expect::beside_input ? folder("images")
                                                                        : QDir::homePath().toStdString();
        EXPECT_EQ(shown_in("hw"), expected);
        EXPECT_EQ(choose_start_folder(remembered_folder("hw"),
                                      c.input_image ? folder("images") + "/flash.bin" : "", "/home/someone"),
                  c.expect == Expect::home ? "/home/someone" : expected);
    }
}

TEST_F(RememberedFolderTest, AChosenFileMakesItsFolderTheStartOfItsKindOnly) {
    set_input_image(folder("images") + "/flash.bin");
    // A save names a file that does not exist yet; its folder counts all the same.
    dialogs.answer = folder("last") + "/panel";
    EXPECT_EQ(save_file_dialog(nullptr, side_file("fp")), folder("last") + "/panel.fp");
    EXPECT_EQ(dialogs.asked.back().options.start_folder, folder("images"));

    EXPECT_EQ(shown_in("fp"), folder("last"));  // the load of the same extension
    EXPECT_EQ(shown_in("hw"), folder("images"));
    EXPECT_EQ(remembered_folder("hw"), "");  // a cancelled dialog remembers nothing

    dialogs.answer = folder("images") + "/in.bin";
    FileDialogOptions input;
    input.folder_kind = k_input_image_folder;
    open_file_dialog(nullptr, input);
    EXPECT_EQ(remembered_folder(k_input_image_folder), folder("images"));
    EXPECT_EQ(remembered_folder(k_output_image_folder), "");
}

TEST_F(RememberedFolderTest, TheFoldersAreKeptOnDiskForTheNextRun) {
    dialogs.answer = folder("last") + "/keys.ir1";
    open_file_dialog(nullptr, side_file("ir1"));

    const QString file_name = settings().fileName();
    ASSERT_TRUE(file_name.startsWith(QDir::tempPath())) << file_name.toStdString();  // never the user's
    QFile file(file_name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(QString::fromStdString(folder("last")).toUtf8()));
}

// Qt's own dialog, shown for real: it opens in the start folder, and a cancel remembers nothing.
TEST_F(RememberedFolderTest, QtsDialogOpensInTheStartFolder) {
    set_file_dialog_presenter(nullptr);
    remember_folder("led", folder("last") + "/map.led");
    std::string seen;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog != nullptr && dialog->isVisible()) {
                seen = dialog->directory().absolutePath().toStdString();
                closer.stop();
                dialog->reject();
            }
        }
    });
    closer.start(0);
    EXPECT_EQ(open_file_dialog(nullptr, side_file("led")), std::nullopt);
    EXPECT_EQ(seen, folder("last"));
    EXPECT_EQ(remembered_folder("led"), folder("last"));
}

TEST_F(RememberedFolderTest, ADialogWithoutAKindKeepsItsOwnStartAndRemembersNothing) {
    FileDialogOptions options;
    options.start_folder = folder("images");
    dialogs.answer = folder("last") + "/x.bin";
    open_file_dialog(nullptr, options);
    EXPECT_EQ(dialogs.asked.back().options.start_folder, folder("images"));
    EXPECT_FALSE(settings().childGroups().contains(QStringLiteral("dialog_folders")));
}

}  // namespace
}  // namespace velmora
