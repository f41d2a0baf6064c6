// The serial ports a run is given: where each name is opened, and which device it is.
//
// A name is opened as the serial library opens it: a path that starts with "/", "./" or "../" as it
// is, any other name under /dev/ ("ttyUSB0" is /dev/ttyUSB0, "pts/3" is /dev/pts/3). A network line
// (tcp://HOST:PORT, rfc2217://HOST:PORT) is checked for its form and opened by its name. Two names of
// one line (a link to a port and the port, "pts/0" and "/dev/pts/0", "socket://h:1" and "tcp://h:1")
// would put two stations on one line, each eating the other's bytes, so such a run is refused before
// any box.
//
// Callers may rely on: resolve_ports() is the one place where port names are looked at; it returns
// one target per name, in order, or none after saying on `err` which names meet on one device. A
// name that names nothing yet (a port that --repeat waits for) is compared by its path.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace velmora::provision {

struct PortTarget {
    std::string name;      // as given: the progress board and the log show it
    std::string location;  // what is opened, so a failure names the path looked at
};

std::optional<std::vector<PortTarget>> resolve_ports(const std::vector<std::string>& names,
                                                     std::ostream& err);

}  // namespace velmora::provision
