#include "Platform/StandardOutput.h"

namespace platform {

// Bytes pass unchanged already.
void SetStandardOutputBinary() {}

}  // namespace platform
