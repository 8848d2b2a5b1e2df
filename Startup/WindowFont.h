// The one font every control of the window uses, regular and bold.
#pragma once

#include <FL/Enumerations.H>

struct WindowFont {
    Fl_Font regular;
    Fl_Font bold;
    Fl_Fontsize size;
};

// Tahoma where it is installed; otherwise Liberation Sans, whose narrower
// letters still keep the longest info line inside the window; otherwise the
// toolkit's sans-serif. Chosen once; needs the display open.
const WindowFont& TheWindowFont();
