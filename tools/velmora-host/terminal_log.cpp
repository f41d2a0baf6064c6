#include "tools/velmora-host/terminal_log.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "tools/velmora-host/terminal_decoder.h"

namespace velmora::host_app {

namespace {

constexpr mode_t k_log_file_mode = 0666;  // less the umask, as any file a program makes
// The writer hands the file its text in pieces of about this size.
constexpr std::size_t k_write_piece = std::size_t{1} << 20;

QString gap_text(std::uint64_t bytes) {
    return QStringLiteral("[... %1 bytes not logged: the disk fell behind ...]").arg(bytes);
}

std::string reason_text(int error) {
    return std::strerror(error);
}

// "2026-12-11T06:40:10.123", local time.
std::string timestamp(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto since_second = time - std::chrono::system_clock::from_time_t(seconds);
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(since_second).count();
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(milliseconds));
    return text;
}

// Turns the log's items into the text form: the pane's text view, one timestamp a line.
class TextForm {
public:
    void put_bytes(const QByteArray& bytes, std::chrono::system_clock::time_point time, std::string& out) {
        QString text;
        decoder_.decode(bytes, text);
        put_text(text, time, out);
    }

    void put_line(QString line, std::chrono::system_clock::time_point time, std::string& out) {
        if (!at_line_start_) {
            out += '\n';
            at_line_start_ = true;
        }
        if (!line.endsWith(u'\n')) {
            line.append(u'\n');
        }
        put_text(line, time, out);
        decoder_.line_started();
    }

    // The log ends: what the decoder still holds is written and an open line is ended, so a log
    // appended later starts on a line of its own.
    void finish(std::chrono::system_clock::time_point time, std::string& out) {
        QString rest;
        decoder_.set_view(TerminalDecoder::View::hex, rest);
        put_text(rest, time, out);
        if (!at_line_start_) {
            out += '\n';
        }
    }

private:
    void put_text(const QString& text, std::chrono::system_clock::time_point time, std::string& out) {
        const QByteArray bytes = text.toUtf8();
        const char* at = bytes.constData();
        const char* const end = at + bytes.size();
        while (at < end) {
            if (at_line_start_) {
                // A delivery holds many lines, all of its time: the text is made once for them.
                if (time != stamped_) {
                    stamped_ = time;
                    stamp_ = timestamp(time) + ' ';
                }
                out += stamp_;
                at_line_start_ = false;
            }
            const auto* line_end =
                static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            const char* stop = line_end == nullptr ? end : line_end + 1;
            out.append(at, static_cast<std::size_t>(stop - at));
            at_line_start_ = line_end != nullptr;
            at = stop;
        }
    }

    TerminalDecoder decoder_;
    bool at_line_start_ = true;
    std::chrono::system_clock::time_point stamped_{};
    std::string stamp_;
};

// Writes all of `bytes` to the non-blocking `fd`, waiting for a reader that is slow to take them in
// k_write_interval steps; gives up (ECANCELED) once `abandon` is set.
bool write_all(int fd, const std::string& bytes, const std::atomic<bool>& abandon, int& error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (abandon.load()) {
                error = ECANCELED;
                return false;
            }
            pollfd writable{fd, POLLOUT, 0};
            ::poll(&writable, 1, static_cast<int>(TerminalLog::k_write_interval.count()));
            continue;
        }
        if (written <= 0) {
            error = written < 0 ? errno : EIO;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

TerminalLog::TerminalLog(std::size_t capacity) : capacity_(capacity) {}

TerminalLog::~TerminalLog() {
    set_failure_handler({});
    std::unique_lock lock(mutex_);
    stop_locked();
    changed_.notify_all();
    // Writers to a disk finish; a reader that takes nothing gets a grace, then its writer gives up.
    changed_.wait_for(lock, k_close_grace, [this] {
        return std::all_of(stopped_.begin(), stopped_.end(),
                           [](const auto& session) { return session->ended; });
    });
    for (const auto& session : stopped_) {
        session->abandon.store(true);
    }
    std::vector<std::shared_ptr<Session>> sessions;
    sessions.swap(stopped_);
    lock.unlock();
    for (const auto& session : sessions) {
        session->writer.join();
    }
}

bool TerminalLog::start(const std::string& path, Form form, std::string& error) {
    stop();
    // Non-blocking: a FIFO without a reader is refused (ENXIO) instead of holding the caller, and a
    // reader that stops reading never holds the writer for good.
    platform::UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, k_log_file_mode));
    if (!fd) {
        error = reason_text(errno);
        return false;
    }
    auto session = std::make_shared<Session>();
    session->path = path;
    session->form = form;
    session->fd = std::move(fd);
    const std::lock_guard lock(mutex_);
    running_ = session;
    last_ = session;
    session->writer = std::thread([this, raw = session.get()] { run(*raw); });
    return true;
}

void TerminalLog::stop() {
    {
        const std::lock_guard lock(mutex_);
        stop_locked();
    }
    changed_.notify_all();
    reap();
}

void TerminalLog::stop_locked() {
    if (running_) {
        running_->stopping = true;
        stopped_.push_back(std::move(running_));
        running_.reset();
    }
}

void TerminalLog::wait_closed() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        return std::all_of(stopped_.begin(), stopped_.end(),
                           [](const auto& session) { return session->ended; });
    });
    lock.unlock();
    reap();
}

void TerminalLog::reap() {
    std::vector<std::shared_ptr<Session>> ended;
    {
        const std::lock_guard lock(mutex_);
        const auto still_writing = std::partition(stopped_.begin(), stopped_.end(),
                                                  [](const auto& session) { return !session->ended; });
        ended.assign(still_writing, stopped_.end());
        stopped_.erase(still_writing, stopped_.end());
    }
    for (const auto& session : ended) {
        session->writer.join();  // it has returned, or is returning
    }
}

bool TerminalLog::active() const {
    const std::lock_guard lock(mutex_);
    return running_ != nullptr;
}

std::string TerminalLog::path() const {
    const std::lock_guard lock(mutex_);
    return running_ ? running_->path : std::string();
}

void TerminalLog::push_bytes(const QByteArray& bytes) {
    if (!bytes.isEmpty()) {
        push({Entry::Kind::bytes, bytes, {}, 0}, static_cast<std::size_t>(bytes.size()));
    }
}

void TerminalLog::push_notice(const QString& text) {
    push({Entry::Kind::notice, {}, text, 0}, static_cast<std::size_t>(text.size()) * sizeof(QChar));
}

void TerminalLog::push(Entry entry, std::size_t size) {
    const auto now = std::chrono::system_clock::now();
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        Session* const session = running_.get();
        if (session == nullptr || (entry.kind == Entry::Kind::notice && session->form == Form::raw)) {
            return;
        }
        std::deque<Item>& queue = session->queue;
        if (session->queued + size > capacity_) {
            // One gap counts every byte lost in a row, at the place they were lost.
            const std::uint64_t lost = entry.kind == Entry::Kind::bytes ? size : 0;
            session->not_logged += lost;
            if (!queue.empty() && queue.back().entry.kind == Entry::Kind::dropped) {
                queue.back().entry.dropped += lost;
            } else if (lost != 0) {
                queue.push_back({{Entry::Kind::dropped, {}, {}, lost}, now});
            }
            return;
        }
        wake = queue.empty();
        session->queued += size;
        queue.push_back({std::move(entry), now});
    }
    if (wake) {
        changed_.notify_all();
    }
}

void TerminalLog::set_failure_handler(std::function<void(const std::string&)> handler) {
    const std::lock_guard lock(handler_mutex_);
    failure_handler_ = std::move(handler);
}

std::size_t TerminalLog::pending() const {
    const std::lock_guard lock(mutex_);
    return last_ ? last_->queued : 0;
}

std::uint64_t TerminalLog::not_logged() const {
    const std::lock_guard lock(mutex_);
    return last_ ? last_->not_logged : 0;
}

void TerminalLog::run(Session& session) {
    TextForm text;
    const int fd = session.fd.get();
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [&] { return session.stopping || !session.queue.empty(); });
        std::deque<Item> batch;
        batch.swap(session.queue);
        session.queued = 0;
        const bool last = session.stopping;
        lock.unlock();

        // Written in pieces, so the text made at once stays small however much waited.
        std::string out;
        int error = 0;
        const auto write_out = [&] {
            const bool written = write_all(fd, out, session.abandon, error);
            out.clear();
            return written;
        };
        bool written = true;
        for (; written && !batch.empty(); batch.pop_front()) {
            const Entry& entry = batch.front().entry;
            const auto time = batch.front().time;
            switch (entry.kind) {
                case Entry::Kind::bytes:
                    if (session.form == Form::raw) {
                        out.append(entry.bytes.constData(), static_cast<std::size_t>(entry.bytes.size()));
                    } else {
                        text.put_bytes(entry.bytes, time, out);
                    }
                    break;
                case Entry::Kind::notice:
                    text.put_line(entry.notice, time, out);
                    break;
                case Entry::Kind::dropped:
                    if (session.form == Form::raw) {
                        out += '\n' + gap_text(entry.dropped).toStdString() + '\n';
                    } else {
                        text.put_line(gap_text(entry.dropped), time, out);
                    }
                    break;
            }
            written = out.size() < k_write_piece || write_out();
        }
        if (written && last && session.form == Form::text) {
            text.finish(std::chrono::system_clock::now(), out);
        }
        written = written && write_out();
        if (!written) {
            fail(session, reason_text(error));
        }
        lock.lock();
        if (!written || last) {
            break;
        }
        // One batch a frame at most, however fast the bytes come; a stop ends the wait at once.
        changed_.wait_for(lock, k_write_interval, [&] { return session.stopping; });
    }
    session.fd.reset();
    session.ended = true;
    lock.unlock();
    changed_.notify_all();
}

void TerminalLog::fail(Session& session, const std::string& reason) {
    {
        const std::lock_guard lock(mutex_);
        if (running_.get() == &session) {
            stop_locked();
        }
        session.queue.clear();
        session.queued = 0;
    }
    if (session.abandon.load()) {
        return;  // given up at the end: nobody is told
    }
    const std::lock_guard lock(handler_mutex_);
    if (failure_handler_) {
        failure_handler_("Logging to " + session.path + " stopped: " + reason);
    }
}

}  // namespace velmora::host_app
