// The terminal's log: the raw and the timestamped form of what the pane receives, the "Log..." toggle
// and its file dialog, a write error, a flood logged whole while the pane drops, and a disk too slow
// for the log's queue.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/file_dialog.h"
#include "host/host_registry.h"
#include "host/output_component.h"
#include "link/host_components.h"
#include "tools/velmora-host/terminal_log.h"
#include "tools/velmora-host/terminal_pane.h"

namespace velmora::host_app {
namespace {

constexpr std::chrono::milliseconds k_test_deadline{10000};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Runs the event loop until `done` holds; the deadline only keeps a fault from hanging the test.
template <typename Done>
bool wait_for(Done done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && !waited.hasExpired(k_test_deadline.count())) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

void deliver(OutputComponent& output, const QByteArray& bytes) {
    output.deliver({k_output_text, static_cast<std::uint32_t>(bytes.size()), bytes.constData()});
}

// Answers the file dialogs with one path (or cancels), and keeps what they were asked.
class AnsweringDialogs : public FileDialogPresenter {
public:
    explicit AnsweringDialogs(std::optional<std::string> answer)
        : answer_(std::move(answer)), previous_(set_file_dialog_presenter(this)) {}
    ~AnsweringDialogs() override { set_file_dialog_presenter(previous_); }
    AnsweringDialogs(const AnsweringDialogs&) = delete;
    AnsweringDialogs& operator=(const AnsweringDialogs&) = delete;

    std::optional<std::string> present(QWidget*, FileDialogKind kind,
                                       const FileDialogOptions& options) override {
        kinds.push_back(kind);
        asked.push_back(options);
        return answer_;
    }

    std::vector<FileDialogKind> kinds;
    std::vector<FileDialogOptions> asked;

private:
    std::optional<std::string> answer_;
    FileDialogPresenter* previous_;
};

class TerminalLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        pane.attach(output);
    }
    std::string path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
    QPushButton& toggle() { return *pane.findChild<QPushButton*>(QStringLiteral("terminal_log")); }

    QTemporaryDir dir;
    HostRegistry registry;
    OutputComponent output{&registry};
    TerminalPane pane;
};

// The same deliveries in both forms, appended to what the file held: the raw form keeps every byte
// and nothing else; the text form has the pane's text lines (escapes, line ends, the host's notices),
// each after the local time its first byte arrived.
TEST_F(TerminalLogTest, RawAndTimestampedFormsOfWhatThePaneReceives) {
    struct Case {
        TerminalLog::Form form;
        std::vector<std::string> lines;  // text form: the lines without their timestamps
    };
    const std::string received = std::string("caf\xC3\xA9!\r\n10%\r20%\r\n\x00\x01", 19) + "boot> ";
    const Case cases[] = {
        {TerminalLog::Form::raw, {}},
        {TerminalLog::Form::text,
         {"Logging to " + path("text.log"), "caf\xC3\xA9!", "10%", "20%", "---- link switched ----",
          "\\x00\\x01boot> "}},
    };
    for (const Case& c : cases) {
        const bool raw = c.form == TerminalLog::Form::raw;
        SCOPED_TRACE(raw ? "raw" : "text");
        const std::string log = path(raw ? "raw.log" : "text.log");
        write_file(log, "an earlier session\n");
        pane.log_toggle().set_form(c.form);
        const auto before = QDateTime::currentMSecsSinceEpoch();
        ASSERT_EQ(pane.log_toggle().start(QString::fromStdString(log)), std::nullopt);
        EXPECT_TRUE(toggle().isChecked());
        // Split inside a character and inside CR LF, as serial reads split them.
        deliver(output, QByteArray("caf\xC3"));
        deliver(output, QByteArray::fromStdString(received.substr(4, 9)));
        deliver(output, QByteArray::fromStdString(received.substr(13, 3)));
        output.deliver({k_output_link_switch, 0, nullptr});
        deliver(output, QByteArray::fromStdString(received.substr(16)));
        pane.log_toggle().stop();
        pane.log().wait_closed();
        const auto after = QDateTime::currentMSecsSinceEpoch();
        EXPECT_FALSE(toggle().isChecked());

        const std::string written = read_file(log);
        if (raw) {
            EXPECT_EQ(written, "an earlier session\n" + received);
            continue;
        }
        const QStringList lines = QString::fromUtf8(written).split(u'\n');
        ASSERT_EQ(lines.size(), static_cast<qsizetype>(c.lines.size()) + 2)
            << written;  // the old line, a last '\n'
        EXPECT_EQ(lines.front(), QStringLiteral("an earlier session"));
        EXPECT_TRUE(lines.back().isEmpty());
        static const QRegularExpression stamped(
            QStringLiteral("^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}) (.*)$"));
        for (std::size_t k = 0; k < c.lines.size(); ++k) {
            const QRegularExpressionMatch match = stamped.match(lines[static_cast<qsizetype>(k) + 1]);
            ASSERT_TRUE(match.hasMatch()) << lines[static_cast<qsizetype>(k) + 1].toStdString();
            EXPECT_EQ(match.captured(2), QString::fromStdString(c.lines[k]));
            const QDateTime time =
                QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
            ASSERT_TRUE(time.isValid());
            EXPECT_GE(time.toMSecsSinceEpoch(), before);
            EXPECT_LE(time.toMSecsSinceEpoch(), after);
        }
    }
}

// "Log..." asks for the file in the folder kept for logs, starts on the answer and stops on the next
// click; a cancelled dialog starts nothing, and a file that cannot be opened is said in the pane.
TEST_F(TerminalLogTest, TheToggleAsksForAFileAndSaysWhatItDid) {
    const std::string log = path("session.log");
    {
        AnsweringDialogs dialogs(log);
        toggle().click();
        ASSERT_EQ(dialogs.asked.size(), 1u);
        EXPECT_EQ(dialogs.kinds.front(), FileDialogKind::save);
        EXPECT_EQ(dialogs.asked.front().folder_kind, "terminal_log");
        EXPECT_EQ(dialogs.asked.front().default_extension, "log");
        EXPECT_FALSE(dialogs.asked.front().overwrite_prompt) << "the log is appended, never replaced";
    }
    EXPECT_TRUE(toggle().isChecked());
    EXPECT_TRUE(pane.log().active());
    EXPECT_FALSE(pane.findChild<QComboBox*>(QStringLiteral("log_form"))->isEnabled());
    toggle().click();
    EXPECT_FALSE(pane.log().active());
    EXPECT_TRUE(pane.findChild<QComboBox*>(QStringLiteral("log_form"))->isEnabled());
    EXPECT_EQ(remembered_folder("terminal_log"), dir.path().toStdString());

    {
        AnsweringDialogs cancelled(std::nullopt);
        toggle().click();
    }
    EXPECT_FALSE(toggle().isChecked());
    EXPECT_FALSE(pane.log().active());
    const QString folder = dir.filePath(QStringLiteral("a.folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    {
        AnsweringDialogs a_folder(folder.toStdString());
        toggle().click();
    }
    EXPECT_FALSE(toggle().isChecked());
    pane.flush();
    EXPECT_TRUE(pane.text().contains(QStringLiteral("Logging to %1\n").arg(QString::fromStdString(log))));
    EXPECT_TRUE(pane.text().contains(QStringLiteral("Log closed: %1\n").arg(QString::fromStdString(log))));
    EXPECT_TRUE(pane.text().contains(QStringLiteral("Cannot log to %1: Is a directory").arg(folder)))
        << pane.text().toStdString();
}

// A write that fails (a full disk) stops the log with a message in the pane; the toggle goes off and
// the pane goes on showing what arrives.
TEST_F(TerminalLogTest, AWriteErrorStopsLoggingWithAMessage) {
    ASSERT_EQ(pane.log_toggle().start(QStringLiteral("/dev/full")), std::nullopt);
    deliver(output, "a line for a full disk\r\n");
    ASSERT_TRUE(wait_for([&] { return !toggle().isChecked(); }));
    EXPECT_FALSE(pane.log().active());
    deliver(output, "still shown\r\n");
    pane.flush();
    EXPECT_TRUE(
        pane.text().contains(QStringLiteral("Logging to /dev/full stopped: No space left on device\n")))
        << pane.text().toStdString();
    EXPECT_TRUE(pane.text().endsWith(QStringLiteral("still shown\n")));
}

// 50 MB delivered while the window does not drain the pane: the pane keeps its bound and shows what it
// dropped, the log has every byte. The feeder hands over the next chunk once the log's queue has room
// for it, so no machine is too slow for the queue.
TEST_F(TerminalLogTest, AFloodIsLoggedWholeWhileThePaneDrops) {
    const std::string log = path("flood.log");
    pane.log_toggle().set_form(TerminalLog::Form::raw);
    ASSERT_EQ(pane.log_toggle().start(QString::fromStdString(log)), std::nullopt);
    QByteArray chunk;
    for (int k = 0; chunk.size() < 64 * 1024; ++k) {
        chunk += QByteArray("[") + QByteArray::number(k) + "] eth0: link up, 100 Mbps full duplex\r\n";
    }
    constexpr qsizetype total = 50 * 1000 * 1000;
    qsizetype delivered = 0;
    while (delivered < total) {
        const QByteArray piece = chunk.left(total - delivered);
        QElapsedTimer waited;
        waited.start();
        while (pane.log().pending() + static_cast<std::size_t>(piece.size()) >
               TerminalLog::k_default_capacity) {
            ASSERT_FALSE(waited.hasExpired(k_test_deadline.count())) << "the log's writer stopped taking";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        deliver(output, piece);
        delivered += piece.size();
    }
    EXPECT_LE(pane.backlog().held(), TerminalBacklog::k_default_capacity);
    EXPECT_GT(pane.backlog().dropped_total(), 0u);
    pane.log_toggle().stop();
    pane.log().wait_closed();
    EXPECT_EQ(pane.log().not_logged(), 0u);

    std::ifstream in(log, std::ios::binary);
    std::vector<char> written(static_cast<std::size_t>(total) + 1);
    in.read(written.data(), static_cast<std::streamsize>(written.size()));
    ASSERT_EQ(in.gcount(), total);
    for (qsizetype at = 0; at < total; at += chunk.size()) {
        const qsizetype length = std::min(chunk.size(), total - at);
        ASSERT_EQ(std::memcmp(written.data() + at, chunk.constData(), static_cast<std::size_t>(length)), 0)
            << "at byte " << at;
    }
    pane.flush();
    EXPECT_TRUE(pane.text().contains(QStringLiteral("bytes dropped ...]")));
}

// A FIFO with its reading end open (the log refuses a FIFO nobody has open), read only when asked.
class Fifo {
public:
    Fifo() {
        EXPECT_TRUE(dir_.isValid());
        path_ = dir_.filePath(QStringLiteral("slow")).toStdString();
        EXPECT_EQ(::mkfifo(path_.c_str(), 0600), 0);
        reader_ = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(reader_, 0);
        EXPECT_EQ(::fcntl(reader_, F_SETFL, 0), 0);  // reads wait for bytes from here on
    }
    ~Fifo() { ::close(reader_); }
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    const std::string& path() const { return path_; }
    // Everything written until the writing end closes.
    std::string read_all() const {
        std::string bytes;
        char buffer[65536];
        ssize_t n = 0;
        while ((n = ::read(reader_, buffer, sizeof buffer)) > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }

private:
    QTemporaryDir dir_;
    std::string path_;
    int reader_ = -1;
};

// "line 0\nline 1\n..." up to `size` bytes.
std::string numbered_lines(std::size_t size) {
    std::string stream;
    for (int k = 0; stream.size() < size; ++k) {
        stream += "line " + std::to_string(k) + "\n";
    }
    return stream;
}

// A disk slower than the stream (a reader that does not read): the queue keeps its bound and the log
// says at the place of each gap how many bytes it could not take; the bytes it has are the stream's,
// in order.
TEST(TerminalLogQueueTest, ALogThatFallsBehindSaysWhereItDropped) {
    Fifo fifo;
    constexpr std::size_t capacity = 64 * 1024;
    TerminalLog log(capacity);
    std::string error;
    ASSERT_TRUE(log.start(fifo.path(), TerminalLog::Form::raw, error)) << error;
    const std::string stream = numbered_lines(2 * 1024 * 1024);
    for (std::size_t at = 0; at < stream.size(); at += 4096) {
        log.push_bytes(QByteArray::fromStdString(stream.substr(at, 4096)));
        EXPECT_LE(log.pending(), capacity);
    }
    std::string written;
    std::thread drain([&] { written = fifo.read_all(); });
    log.stop();
    drain.join();

    ASSERT_GT(log.not_logged(), 0u);
    static const QRegularExpression gap(
        QStringLiteral("\n\\[\\.\\.\\. (\\d+) bytes not logged: the disk fell behind \\.\\.\\.\\]\n"));
    const QString text = QString::fromStdString(written);
    std::size_t at = 0;
    std::uint64_t lost = 0;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& match : gap.globalMatch(text)) {
        const std::string kept = written.substr(static_cast<std::size_t>(from),
                                                static_cast<std::size_t>(match.capturedStart() - from));
        ASSERT_EQ(stream.compare(at, kept.size(), kept), 0) << "kept bytes out of place at " << at;
        const std::uint64_t dropped = match.captured(1).toULongLong();
        at += kept.size() + dropped;
        lost += dropped;
        from = match.capturedEnd();
    }
    const std::string rest = written.substr(static_cast<std::size_t>(from));
    EXPECT_EQ(stream.compare(at, rest.size(), rest), 0);
    EXPECT_EQ(at + rest.size(), stream.size());
    EXPECT_EQ(lost, log.not_logged());
}

// A reader that takes nothing holds neither the window nor the program's end: stopping returns at
// once, and the log's end abandons, after its grace, what the reader never took.
TEST(TerminalLogQueueTest, AReaderThatTakesNothingHoldsNobody) {
    Fifo fifo;
    {
        TerminalLog log;
        std::string error;
        ASSERT_TRUE(log.start(fifo.path(), TerminalLog::Form::raw, error)) << error;
        const QByteArray stream = QByteArray::fromStdString(numbered_lines(1024 * 1024));
        log.push_bytes(stream);
        log.stop();
        EXPECT_FALSE(log.active());
        EXPECT_TRUE(log.start(fifo.path(), TerminalLog::Form::text, error))
            << "a new log while the old one waits";
        log.push_bytes(stream);
    }
}

}  // namespace
}  // namespace velmora::host_app
