// Error numbers (errno values) in words.
#pragma once

#include <string>

namespace platform {

// The system's wording for `errorNumber`, safe to call from any thread. On
// Windows the POSIX numbers the C runtime has no words for (a socket's
// "Address already in use") read as on Linux.
std::string ErrorText(int errorNumber);

}  // namespace platform
