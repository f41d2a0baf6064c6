// Ctrl-C for velmora-provision: SIGINT, SIGTERM and SIGHUP (the SSH session of the line PC dropped)
// only signal a pipe, so the main thread, which polls it, ends the run as it ends a finished one
// (every agent shut down, every thread joined, every port closed, a box under way logged
// `interrupted`, the summary written).
//
// Callers may rely on: install() is called once, before any thread starts; fd() stays readable from
// the first signal on. A signal the process ignores (a run started with nohup) stays ignored.
#pragma once

namespace velmora::provision {

class StopSignal {
public:
    static bool install();
    static int fd();
};

}  // namespace velmora::provision
