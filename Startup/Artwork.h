// The window's pictures, compiled into the program (drawn by
// Startup/Artwork/make-artwork.sh).
#pragma once

#include <FL/Fl_Image.H>

// "wallpaper" (522 x 580), "button" (71 x 23) or "statusbar" (500 x 22);
// null for any other name. The images live as long as the program.
Fl_Image* ArtworkImage(const char* name);

// The program's icon, 32 x 32.
const Fl_RGB_Image* ProgramIcon();
