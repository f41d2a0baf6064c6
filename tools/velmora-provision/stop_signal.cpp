#include "tools/velmora-provision/stop_signal.h"

#include <signal.h>

#include <initializer_list>

#include "platform/wake_pipe.h"

namespace velmora::provision {

namespace {

// The handler may touch nothing but this; WakePipe::signal is async-signal-safe.
platform::WakePipe g_stop_pipe;

void on_stop_signal(int) {
    g_stop_pipe.signal();
}

}  // namespace

bool StopSignal::install() {
    if (!g_stop_pipe.open()) {
        return false;
    }
    for (const int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        sigaction(number, nullptr, &current);
        if (current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = on_stop_signal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(number, &action, nullptr);
    }
    return true;
}

int StopSignal::fd() {
    return g_stop_pipe.read_fd();
}

}  // namespace velmora::provision
