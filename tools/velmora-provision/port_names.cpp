#include "tools/velmora-provision/port_names.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

#include "netline/network_port.h"

namespace velmora::provision {

namespace {

constexpr std::string_view k_device_folder = "/dev/";

std::string location_of(const std::string& name) {
    const bool path = name.starts_with('/') || name.starts_with("./") || name.starts_with("../");
    return path ? name : std::string(k_device_folder) + name;
}

// Equal for two names of one device: a device by its number, another file by its inode, a path
// that names nothing yet by the path itself.
std::string device_key(const std::string& location) {
    struct stat status {};
    if (::stat(location.c_str(), &status) == 0) {
        if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) {
            return "device " + std::to_string(status.st_rdev);
        }
        return "file " + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(location, error);
    return "path " + (error ? location : absolute.lexically_normal().string());
}

}  // namespace

std::optional<std::vector<PortTarget>> resolve_ports(const std::vector<std::string>& names,
                                                     std::ostream& err) {
    std::vector<PortTarget> targets;
    std::map<std::string, std::string> seen;  // device key -> the first name on it
    for (const std::string& name : names) {
        std::string key;
        PortTarget target{name, name};
        if (netline::is_network_port_name(name)) {
            // A line on the network is known by its one spelling; the connector opens it by name.
            std::string error;
            const std::optional<netline::NetworkPort> network = netline::parse_network_port(name, error);
            if (!network) {
                err << "velmora-provision: --port " << name << ": " << error << "\n";
                return std::nullopt;
            }
            key = "network " + network->name();
        } else {
            target.location = location_of(name);
            key = device_key(target.location);
        }
        const auto [first, added] = seen.emplace(key, name);
        if (!added) {
            if (first->second == name) {
                err << "velmora-provision: the port " << name << " is named twice\n";
            } else {
                err << "velmora-provision: the ports " << first->second << " and " << name
                    << " are one device; two stations on one line would take each other's bytes\n";
            }
            return std::nullopt;
        }
        targets.push_back(std::move(target));
    }
    return targets;
}

}  // namespace velmora::provision
