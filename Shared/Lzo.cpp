#include "Shared/Lzo.h"

#include <lzo/lzo1x.h>

bool LzoReady() {
    // A function-local static: initialised exactly once, even when two
    // threads ask at the same time.
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}
