// The window's form description: the window's own properties and every
// control with its kind, place, size, text and events, in creation order.
// All of the window's layout lives in this one table.
#pragma once

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Widget.H>

#include <span>

class TfrmStartup;

enum class ControlKind { Image, Frame, Label, Edit, Timer };

enum ControlStyle : unsigned {
    kPlain = 0,
    kBold = 1u << 0,
    kHandCursor = 1u << 1,
};

struct ControlDescription {
    const char* name;
    ControlKind kind;
    // Stores the made control in its field of the window.
    void (*bind)(TfrmStartup& form, Fl_Widget* control);
    int left, top, width, height;  // in client pixels; width 0: sized to its text or bitmap
    unsigned style;                // ControlStyle bits
    int tabOrder;                  // an edit field's place in the tab order; -1 otherwise
    const char* focusControl;      // a label's accelerator focuses this field
    Fl_Callback* onClick;          // a label's click handler
    Fl_Timeout_Handler onTimer;    // a timer's tick handler
    const char* text;              // a label's caption; an image's artwork
};

struct FormProperties {
    const char* caption;
    const char* applicationTitle;  // what the desktop shows for the program
    int clientWidth;
    int clientHeight;
    Fl_Color color;
};

const FormProperties& StartupFormProperties();
std::span<const ControlDescription> StartupFormControls();
