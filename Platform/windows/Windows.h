// <windows.h> for the Windows layer, without the macros that would rename the
// layer's own functions (DeleteFile, ReplaceFile) or clash with the standard
// library (min, max).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef DeleteFile
#undef ReplaceFile
