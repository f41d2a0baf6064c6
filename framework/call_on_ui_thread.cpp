#include "framework/call_on_ui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace velmora {

namespace {

enum class Outcome { pending, running, ran, dropped };

// One call from a worker. The worker waits until the UI thread has run it or it has been given up.
struct CallState {
    std::mutex lock;
    std::condition_variable settled;
    Outcome outcome = Outcome::pending;

    // Gives the call up unless the UI thread has already started it.
    void drop() {
        {
            std::lock_guard guard(lock);
            if (outcome != Outcome::pending) {
                return;
            }
            outcome = Outcome::dropped;
        }
        settled.notify_all();
    }
};

// Lives inside the queued call. Qt destroys the call unrun when it throws the event away (the
// application ends); the last copy's destruction then releases the worker.
class DropGuard {
public:
    explicit DropGuard(std::shared_ptr<CallState> state) : state_(std::move(state)) {}
    DropGuard(const DropGuard&) = delete;
    DropGuard& operator=(const DropGuard&) = delete;
    ~DropGuard() { state_->drop(); }

private:
    std::shared_ptr<CallState> state_;
};

// Whether the UI thread still takes calls, and the calls that workers are waiting on.
struct Gate {
    std::mutex lock;
    bool closed = false;
    const QCoreApplication* watched = nullptr;
    std::unordered_set<std::shared_ptr<CallState>> waiting;
};

Gate& gate() {
    static Gate gate;
    return gate;
}

void forget_application() {
    close_ui_calls();
    std::lock_guard guard(gate().lock);
    gate().watched = nullptr;
}

// Follows the application's end once per application object; a new application opens the gate again.
// Called with the gate's lock held.
void watch_application(QCoreApplication* app) {
    Gate& g = gate();
    if (g.watched == app) {
        return;
    }
    g.watched = app;
    g.closed = false;
    QObject::connect(
        app, &QCoreApplication::aboutToQuit, app, [] { close_ui_calls(); }, Qt::DirectConnection);
    QObject::connect(app, &QObject::destroyed, [] { forget_application(); });
}

// Watches from the application's construction on, so that a quit before any worker's first call is seen.
void watch_new_application() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        std::lock_guard guard(gate().lock);
        watch_application(app);
    }
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(watch_new_application)

bool call_on_ui_thread(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QCoreApplication::closingDown()) {
        return false;
    }
    if (QThread::currentThread() == app->thread()) {
        fn();
        return true;
    }

    auto state = std::make_shared<CallState>();
    {
        Gate& g = gate();
        std::lock_guard guard(g.lock);
        watch_application(app);
        if (g.closed) {
            return false;
        }
        g.waiting.insert(state);
        auto guard_object = std::make_shared<DropGuard>(state);
        QMetaObject::invokeMethod(
            app,
            [state, guard_object, fn = std::move(fn)] {
                {
                    std::lock_guard call_guard(state->lock);
                    if (state->outcome != Outcome::pending) {
                        return;
                    }
                    state->outcome = Outcome::running;
                }
                fn();
                {
                    std::lock_guard call_guard(state->lock);
                    state->outcome = Outcome::ran;
                }
                state->settled.notify_all();
            },
            Qt::QueuedConnection);
    }

    bool ran = false;
    {
        std::unique_lock call_guard(state->lock);
        state->settled.wait(
            call_guard, [&] { return state->outcome == Outcome::ran || state->outcome == Outcome::dropped; });
        ran = state->outcome == Outcome::ran;
    }
    std::lock_guard guard(gate().lock);
    gate().waiting.erase(state);
    return ran;
}

void close_ui_calls() {
    std::unordered_set<std::shared_ptr<CallState>> to_release;
    {
        std::lock_guard guard(gate().lock);
        gate().closed = true;
        to_release = gate().waiting;
    }
    for (const auto& state : to_release) {
        state->drop();
    }
}

void reopen_ui_calls() {
    std::lock_guard guard(gate().lock);
    gate().closed = false;
}

}  // namespace velmora
