// Running work on the UI thread from a worker thread and waiting for it.
//
// Workers never touch widgets themselves. When they must (the status label, a message box), they call
// `call_on_ui_thread(fn)`: fn runs on the UI thread and the worker waits until it has returned.
// Callers may rely on:
// - called on the UI thread, fn runs at once, inside the call;
// - called on another thread, fn runs on the UI thread the next time it processes events, and the call
//   returns after fn has returned; the result is true;
// - when the UI thread will not run fn any more (the application has left its event loop, is being
//   destroyed, or the queued call was thrown away), the call returns false WITHOUT running fn, and a
//   caller that is already waiting is released with false; it never hangs on a quitting application;
// - without a QCoreApplication the call returns false and runs nothing.
// DEADLOCK: never call it from a worker while the UI thread waits for that worker (joins it, or waits
// on a condition that only the worker sets): the UI thread then never gets to run fn. Let such a worker
// see a stop flag first, or have the UI thread keep processing events while it waits.
#pragma once

#include <functional>

namespace velmora {

bool call_on_ui_thread(std::function<void()> fn);

// Refuses every later call and releases waiting callers with false. Done automatically when the
// application emits aboutToQuit (it has left its event loop) and when it is destroyed.
void close_ui_calls();

// Accepts calls again, for a program that runs its event loop once more after it ended (and tests).
void reopen_ui_calls();

}  // namespace velmora
