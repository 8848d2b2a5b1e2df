// The window's form description: the window's own properties and every
// control with its kind, place, size and text, in creation order. All of the
// window's layout lives here, as plain data with no toolkit type in it, so
// that every window front end builds the same window from it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

enum class ControlKind { Image, Frame, Label, Edit, Timer };

enum ControlStyle : unsigned {
    kPlain = 0,
    kBold = 1u << 0,
    kHandCursor = 1u << 1,
};

// Every control, by the name of its field in the window; NoControl names none.
enum class ControlId {
    imgWallpaper,
    shpCompile,
    imgCompile,
    lbCompile,
    lbCompileFolder,
    lbCompileDestination,
    shpBrowse,
    lbBrowseArchive,
    imgBrowse,
    lbBrowse,
    imgStatus,
    lbStatus,
    lbCompileInfo1,
    lbCompileInfo2,
    lbCompileInfo3,
    lbGenericInfo1,
    lbGenericInfo2,
    lbGenericInfo3,
    lbBrowseInfo1,
    lbBrowseInfo2,
    lbBrowseInfo3,
    lbGenericInfo4,
    edCompileFolder,
    edCompileDestination,
    edBrowseArchive,
    tmrClock,
    NoControl,
};

// A width of kSizedToContent: the control takes the width of its text or bitmap.
inline constexpr int kSizedToContent = 0;
// The tab order of a control that takes no part in it.
inline constexpr int kNoTab = -1;

struct ControlDescription {
    ControlId id;
    const char* name;  // the id's own name
    ControlKind kind;
    int left, top, width, height;  // in client pixels
    unsigned style;                // ControlStyle bits
    int tabOrder;                  // an edit field's place in the tab order; kNoTab otherwise
    ControlId focuses;  // the field a label's "&x" accelerator focuses; NoControl otherwise
    // A label's caption, where "&x" marks the accelerator x when `focuses`
    // names a field ("&&" a plain "&"); an image's artwork name.
    const char* text;
};

struct FormProperties {
    std::string caption;
    const char* applicationTitle;  // what the desktop shows for the program
    int clientWidth;
    int clientHeight;
    uint32_t color;                 // 0xRRGGBB
    int clockIntervalMilliseconds;  // how often tmrClock ticks
};

const FormProperties& StartupFormProperties();
std::span<const ControlDescription> StartupFormControls();
