// The window's pictures (Startup/Artwork, XPM) as Windows bitmaps.
#pragma once

#include "Platform/windows/Windows.h"

// The bitmap for an artwork name ("wallpaper", "button", "statusbar"); null
// for any other. Made on first use and kept for the life of the process.
HBITMAP ArtworkBitmap(const char* name);

// The program's icon, made from the same artwork as on Linux.
HICON ProgramIcon();
