#include "Platform/Hangup.h"

namespace platform {

void CountHangups() {}

unsigned HangupCount() {
    return 0;
}

}  // namespace platform
