// Paths as the system writes them.
#pragma once

#include <string>

namespace platform {

// `name` inside `folder`, with the system's separator between them ("/", or
// "\" on Windows).
std::string PathInFolder(const std::string& folder, const std::string& name);

}  // namespace platform
