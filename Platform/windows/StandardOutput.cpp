#include "Platform/StandardOutput.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace platform {

void SetStandardOutputBinary() {
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace platform
