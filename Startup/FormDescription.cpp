#include "Startup/FormDescription.h"

#include "Startup/StatusText.h"
#include "Startup/Version.h"

namespace {

constexpr int kSized = kSizedToContent;

}  // namespace

const FormProperties& StartupFormProperties() {
    static const FormProperties properties{
        std::string(kProgramName) + " (v. " + kProgramVersion + ")",
        kProgramName,
        522,
        533,
        0xFFFFFF,
        1000,
    };
    return properties;
}

std::span<const ControlDescription> StartupFormControls() {
    static const std::string browseInfo3 = "address " + kStartPageUrl + ".";
    // clang-format off
    static const ControlDescription controls[] = {
        // id, name and kind                                                  left top  width  height style               tab     focuses                          text
        {ControlId::imgWallpaper,         "imgWallpaper",         ControlKind::Image, 0,   0,   522,    533,    kPlain,              kNoTab, ControlId::NoControl,                 "wallpaper"},
        {ControlId::shpCompile,           "shpCompile",           ControlKind::Frame, 12,  87,  498,    222,    kPlain,              kNoTab, ControlId::NoControl,                 ""},
        {ControlId::imgCompile,           "imgCompile",           ControlKind::Image, 424, 269, kSized, kSized, kHandCursor,         kNoTab, ControlId::NoControl,                 "button"},
        {ControlId::lbCompile,            "lbCompile",            ControlKind::Label, 438, 273, 45,     13,     kBold | kHandCursor, kNoTab, ControlId::NoControl,                 "Compile"},
        {ControlId::lbCompileFolder,      "lbCompileFolder",      ControlKind::Label, 27,  160, kSized, 13,     kPlain,              kNoTab, ControlId::edCompileFolder,      "Source &folder (must contain an index.html file at root level):"},
        {ControlId::lbCompileDestination, "lbCompileDestination", ControlKind::Label, 27,  205, kSized, 13,     kPlain,              kNoTab, ControlId::edCompileDestination, "Compressed a&rchive:"},
        {ControlId::shpBrowse,            "shpBrowse",            ControlKind::Frame, 12,  319, 498,    174,    kPlain,              kNoTab, ControlId::NoControl,                 ""},
        {ControlId::lbBrowseArchive,      "lbBrowseArchive",      ControlKind::Label, 27,  390, kSized, 13,     kPlain,              kNoTab, ControlId::edBrowseArchive,      "Compressed &archive:"},
        {ControlId::imgBrowse,            "imgBrowse",            ControlKind::Image, 424, 454, kSized, kSized, kHandCursor,         kNoTab, ControlId::NoControl,                 "button"},
        {ControlId::lbBrowse,             "lbBrowse",             ControlKind::Label, 440, 458, 41,     13,     kBold | kHandCursor, kNoTab, ControlId::NoControl,                 "Browse"},
        {ControlId::imgStatus,            "imgStatus",            ControlKind::Image, 11,  502, kSized, kSized, kPlain,              kNoTab, ControlId::NoControl,                 "statusbar"},
        {ControlId::lbStatus,             "lbStatus",             ControlKind::Label, 22,  505, kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "Standby."},
        {ControlId::lbCompileInfo1,       "lbCompileInfo1",       ControlKind::Label, 27,  102, kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "Compiling a source folder means a complete scan (along with all of its subfolders) in search of"},
        {ControlId::lbCompileInfo2,       "lbCompileInfo2",       ControlKind::Label, 27,  116, kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "every existing file (html files, jpeg images, zip archives, etc...) and a build of a single compressed"},
        {ControlId::lbCompileInfo3,       "lbCompileInfo3",       ControlKind::Label, 27,  130, kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "archive optimized for fast directory searches and high speed browsing."},
        {ControlId::lbGenericInfo1,       "lbGenericInfo1",       ControlKind::Label, 12,  14,  kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "This application compresses a bunch of web files contained in a local folder to a unique compressed"},
        {ControlId::lbGenericInfo2,       "lbGenericInfo2",       ControlKind::Label, 12,  28,  kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "archive whose length can be up to 4 Gb and let you browse it using your preferred internet browser"},
        {ControlId::lbGenericInfo3,       "lbGenericInfo3",       ControlKind::Label, 12,  42,  kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "(acting as an embedded web server locally on port 8078 of your machine). This way you can retrieve"},
        {ControlId::lbBrowseInfo1,        "lbBrowseInfo1",        ControlKind::Label, 27,  334, kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "Browsing a source archive means activating the web server embedded in this application and"},
        {ControlId::lbBrowseInfo2,        "lbBrowseInfo2",        ControlKind::Label, 27,  348, kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "linking it to a previously compiled archive file. The compiled web site can be accessed at the"},
        {ControlId::lbBrowseInfo3,        "lbBrowseInfo3",        ControlKind::Label, 27,  362, kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 browseInfo3.c_str()},
        {ControlId::lbGenericInfo4,       "lbGenericInfo4",       ControlKind::Label, 12,  56,  kSized, 13,     kPlain,              kNoTab, ControlId::NoControl,                 "a fairly large web site with a third-party web spider and store it in an optimal space-saving way."},
        {ControlId::edCompileFolder,      "edCompileFolder",      ControlKind::Edit,  27,  175, 467,    19,     kPlain,              1,      ControlId::NoControl,                 ""},
        {ControlId::edCompileDestination, "edCompileDestination", ControlKind::Edit,  27,  220, 467,    19,     kPlain,              2,      ControlId::NoControl,                 ""},
        {ControlId::edBrowseArchive,      "edBrowseArchive",      ControlKind::Edit,  27,  405, 467,    19,     kPlain,              0,      ControlId::NoControl,                 ""},
        {ControlId::tmrClock,             "tmrClock",             ControlKind::Timer, 0,   0,   0,      0,      kPlain,              kNoTab, ControlId::NoControl,                 ""},
    };
    // clang-format on
    return controls;
}
