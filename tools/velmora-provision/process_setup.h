// What velmora-provision settles about its own process before it opens anything.
//
// Callers may rely on: after prepare_process()
// - descriptors 0, 1 and 2 are open: those that were closed (a run started with `>&-`) are opened on
//   /dev/null, so no file of the run (the log, a port) can take the place of standard output and
//   receive the progress lines;
// - SIGPIPE and SIGXFSZ are ignored, so a reader that went away or a file that reached its size limit
//   is a write that fails and is reported by its writer, never the end of the run with a box half
//   configured.
#pragma once

namespace velmora::provision {

void prepare_process();

}  // namespace velmora::provision
