// Who holds the serial line: the connection, from the box's sync byte until the worker has ended it,
// or one of the agent's task threads (send configuration, lamp test, get key, LED map), or light/dim
// for the moment it sends. The line has one holder at a time; a start while it is held is refused
// with a text that names the holder.
//
// Callers may rely on:
// - A sync byte and a start decide under one lock, so a task never starts between the sync byte and
//   its connection, and a connection that a new sync byte began is never ended by the old one.
// - Nothing starts once the agent stops, and join() then ends the last task thread for good.
// - Every member may be called from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "link/agent/link_events.h"
#include "link/agent/link_line.h"

namespace velmora {

// What holds the line: the connection or the thread that runs, named to the user who starts another.
enum class LinkTask { none, connection, send_config, lamp_test, get_key, led_map };

class LineHolder {
public:
    // `task_ended` runs on each task thread as its last act, once thread_running() says it ended.
    LineHolder(LinkLine& line, LinkEvents& events, std::function<void()> task_ended)
        : line_(line), events_(events), task_ended_(std::move(task_ended)) {}

    // --- The connection -------------------------------------------------------------------------
    // A sync byte on an idle line: the connection takes the line (its state synced); false when the
    // line was not idle.
    bool begin_connection();
    // The worker ends its connection; false when a new sync byte has begun another meanwhile.
    bool end_connection();
    // True from the sync byte until the worker has ended that connection, failed or not.
    bool connecting() const { return connecting_.load(); }

    // --- The tasks ------------------------------------------------------------------------------
    // Takes the line when nothing holds it, puts its state to listening and runs `start` under the
    // same lock. Else false, with `holder` what holds it (none when the agent stops).
    bool take(LinkTask& holder, const std::function<void()>& start = {});
    // Takes the line and runs `body` on the task thread; else false, as take() is.
    bool start_thread(LinkTask task, std::function<void()> body, LinkTask& holder);
    // Whether one of the task threads runs.
    bool thread_running() const { return thread_running_.load(); }
    // Joins the last task thread. Call after the agent stopped: none starts any more.
    void join();

    // What a user who starts a task while `holder` holds the line reads.
    static std::string refusal_text(LinkTask holder);

private:
    LinkLine& line_;
    LinkEvents& events_;
    const std::function<void()> task_ended_;

    std::mutex mutex_;
    std::thread thread_;  // under mutex_
    std::atomic<bool> thread_running_{false};
    std::atomic<LinkTask> thread_task_{LinkTask::none};
    std::atomic<bool> connecting_{false};
};

}  // namespace velmora
