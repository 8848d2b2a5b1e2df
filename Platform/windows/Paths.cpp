#include "Platform/Paths.h"

namespace platform {

std::string PathInFolder(const std::string& folder, const std::string& name) {
    return folder + '\\' + name;
}

}  // namespace platform
