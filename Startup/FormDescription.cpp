#include "Startup/FormDescription.h"

#include <string>
#include <type_traits>

#include "Startup/StatusText.h"
#include "Startup/TfrmStartup.h"

namespace {

template <class Control>
constexpr ControlKind KindOf() {
    if constexpr (std::is_same_v<Control, ImageControl>) return ControlKind::Image;
    if constexpr (std::is_same_v<Control, FrameControl>) return ControlKind::Frame;
    if constexpr (std::is_same_v<Control, LabelControl>) return ControlKind::Label;
    if constexpr (std::is_same_v<Control, EditControl>) return ControlKind::Edit;
    if constexpr (std::is_same_v<Control, TimerControl>) return ControlKind::Timer;
}

template <auto Field, ControlKind Kind>
void BindField(TfrmStartup& form, Fl_Widget* control) {
    using Control = std::remove_pointer_t<std::remove_reference_t<decltype(form.*Field)>>;
    static_assert(KindOf<Control>() == Kind, "a control's kind must match its field");
    form.*Field = static_cast<Control*>(control);
}

// A row's name, kind and field, all from the one field name.
#define CONTROL(field, kind) \
#field, ControlKind::kind, &BindField < &TfrmStartup::field, ControlKind::kind>

constexpr int kSized = 0;  // sized to its text or bitmap
constexpr int kNoTab = -1;

}  // namespace

const FormProperties& StartupFormProperties() {
    static const FormProperties properties{
        "Pelorine (v. 0.9.4)", "Pelorine", 522, 533, FL_WHITE,
    };
    return properties;
}

std::span<const ControlDescription> StartupFormControls() {
    static const std::string browseInfo3 = std::string("address ") + kStartPageUrl + ".";
    // clang-format off
    static const ControlDescription controls[] = {
        // field and kind                     left  top  width  height  style                tab     focuses                  click                                tick                               text
        {CONTROL(imgWallpaper, Image),           0,   0,    522,    533,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "wallpaper"},
        {CONTROL(shpCompile, Frame),            12,  87,    498,    222,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           ""},
        {CONTROL(imgCompile, Image),           424, 269, kSized, kSized,  kHandCursor,         kNoTab, nullptr,                 nullptr,                             nullptr,                           "button"},
        {CONTROL(lbCompile, Label),            438, 273,     45,     13,  kBold | kHandCursor, kNoTab, nullptr,                 &TfrmStartup::lbCompileClickEvent,   nullptr,                           "Compile"},
        {CONTROL(lbCompileFolder, Label),       27, 160, kSized,     13,  kPlain,              kNoTab, "edCompileFolder",       nullptr,                             nullptr,                           "Source &folder (must contain an index.html file at root level):"},
        {CONTROL(lbCompileDestination, Label),  27, 205, kSized,     13,  kPlain,              kNoTab, "edCompileDestination",  nullptr,                             nullptr,                           "Compressed a&rchive:"},
        {CONTROL(shpBrowse, Frame),             12, 319,    498,    174,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           ""},
        {CONTROL(lbBrowseArchive, Label),       27, 390, kSized,     13,  kPlain,              kNoTab, "edBrowseArchive",       nullptr,                             nullptr,                           "Compressed &archive:"},
        {CONTROL(imgBrowse, Image),            424, 454, kSized, kSized,  kHandCursor,         kNoTab, nullptr,                 nullptr,                             nullptr,                           "button"},
        {CONTROL(lbBrowse, Label),             440, 458,     41,     13,  kBold | kHandCursor, kNoTab, nullptr,                 &TfrmStartup::lbBrowseClickEvent,    nullptr,                           "Browse"},
        {CONTROL(imgStatus, Image),             11, 502, kSized, kSized,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "statusbar"},
        {CONTROL(lbStatus, Label),              22, 505, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "Standby."},
        {CONTROL(lbCompileInfo1, Label),        27, 102, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "Compiling a source folder means a complete scan (along with all of its subfolders) in search of"},
        {CONTROL(lbCompileInfo2, Label),        27, 116, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "every existing file (html files, jpeg images, zip archives, etc...) and a build of a single compressed"},
        {CONTROL(lbCompileInfo3, Label),        27, 130, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "archive optimized for fast directory searches and high speed browsing."},
        {CONTROL(lbGenericInfo1, Label),        12,  14, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "This application compresses a bunch of web files contained in a local folder to a unique compressed"},
        {CONTROL(lbGenericInfo2, Label),        12,  28, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "archive whose length can be up to 4 Gb and let you browse it using your preferred internet browser"},
        {CONTROL(lbGenericInfo3, Label),        12,  42, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "(acting as an embedded web server locally on port 8078 of your machine). This way you can retrieve"},
        {CONTROL(lbBrowseInfo1, Label),         27, 334, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "Browsing a source archive means activating the web server embedded in this application and"},
        {CONTROL(lbBrowseInfo2, Label),         27, 348, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "linking it to a previously compiled archive file. The compiled web site can be accessed at the"},
        {CONTROL(lbBrowseInfo3, Label),         27, 362, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           browseInfo3.c_str()},
        {CONTROL(lbGenericInfo4, Label),        12,  56, kSized,     13,  kPlain,              kNoTab, nullptr,                 nullptr,                             nullptr,                           "a fairly large web site with a third-party web spider and store it in an optimal space-saving way."},
        {CONTROL(edCompileFolder, Edit),        27, 175,    467,     19,  kPlain,              1,      nullptr,                 nullptr,                             nullptr,                           ""},
        {CONTROL(edCompileDestination, Edit),   27, 220,    467,     19,  kPlain,              2,      nullptr,                 nullptr,                             nullptr,                           ""},
        {CONTROL(edBrowseArchive, Edit),        27, 405,    467,     19,  kPlain,              0,      nullptr,                 nullptr,                             nullptr,                           ""},
        {CONTROL(tmrClock, Timer),               0,   0,      0,      0,  kPlain,              kNoTab, nullptr,                 nullptr,                             &TfrmStartup::tmrClockTimerEvent,  ""},
    };
    // clang-format on
    return controls;
}
