#include "tools/velmora-image/private_drive_root.h"

#include <stdlib.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/drive_path.h"

namespace velmora::image_tool {

PrivateDriveRoot::PrivateDriveRoot() {
    const char* chosen = std::getenv("VELMORA_DRIVE_ROOT");
    if (chosen != nullptr && *chosen != '\0') {
        return;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/velmora-drives.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return;  // the default root still works; only parallel runs could meet there
    }
    created_ = pattern;
    platform::set_drive_root(created_);
}

PrivateDriveRoot::~PrivateDriveRoot() {
    if (!created_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(created_, ignored);
    }
}

}  // namespace velmora::image_tool
