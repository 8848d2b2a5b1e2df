// The LZO library, initialised once for the whole process.
#pragma once

// True when lzo_init succeeded. The first call initialises the library; later
// calls, from any thread, give the same answer.
bool LzoReady();
