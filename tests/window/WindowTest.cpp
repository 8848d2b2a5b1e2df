// The window in one process with a virtual display: its form, its input
// handling, the status clock and the Compile action.
#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "Compiler/Progress.h"
#include "Platform/FaultInjection.h"
#include "Platform/File.h"
#include "Shared/LoadedArchive.h"
#include "Startup/TfrmStartup.h"
#include "Startup/Version.h"
#include "Startup/WindowFont.h"
#include "WebServer/ServerState.h"
#include "tests/support/TestFiles.h"
#include "tests/window/WindowTestSupport.h"

using namespace window_testing;
using testing_support::TempDir;

namespace {

constexpr const char* kDone = "Done (at this point you can only quit from the application).";

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        OpenDisplay();
        platform::FaultInjection::Reset();
    }
    void TearDown() override { platform::FaultInjection::Reset(); }

    TfrmStartup& Make(std::vector<std::string> arguments = {}) {
        form_ = std::make_unique<TfrmStartup>(ReadCommandLine(arguments));
        return *form_;
    }
    TfrmStartup& Shown(std::vector<std::string> arguments = {}) {
        TfrmStartup& form = Make(std::move(arguments));
        ShowAndSettle(form, [&] { form.ShowFirst(); });
        return form;
    }

    std::vector<Fl_Widget*> Inputs() const {
        return {form_->lbBrowse, form_->lbCompile, form_->edCompileFolder,
                form_->edCompileDestination, form_->edBrowseArchive};
    }

    std::unique_ptr<TfrmStartup> form_;
};

template <class Control>
bool Is(Fl_Widget* control) {
    return dynamic_cast<Control*>(control) != nullptr;
}
constexpr auto kImage = &Is<ImageControl>;
constexpr auto kFrame = &Is<FrameControl>;
constexpr auto kLabel = &Is<LabelControl>;
constexpr auto kEdit = &Is<EditControl>;
constexpr auto kTimer = &Is<TimerControl>;

struct ExpectedControl {
    const char* name;
    std::function<Fl_Widget*(TfrmStartup&)> field;
    bool (*isKind)(Fl_Widget*);
    int left, top, width, height;  // width 0: sized to its text
    const char* shownStart;        // how a label's shown text begins
};

#define FIELD(name) #name, [](TfrmStartup & form) -> Fl_Widget* { return form.name; }

// The 26 controls in creation order.
// clang-format off
const ExpectedControl kExpectedControls[] = {
    {FIELD(imgWallpaper),         kImage,   0,   0, 522, 533, nullptr},
    {FIELD(shpCompile),           kFrame,  12,  87, 498, 222, nullptr},
    {FIELD(imgCompile),           kImage, 424, 269,  71,  23, nullptr},
    {FIELD(lbCompile),            kLabel, 438, 273,  45,  13, "Compile"},
    {FIELD(lbCompileFolder),      kLabel,  27, 160,   0,  13, "Source folder (must contain an index.html file at root level):"},
    {FIELD(lbCompileDestination), kLabel,  27, 205,   0,  13, "Compressed archive:"},
    {FIELD(shpBrowse),            kFrame,  12, 319, 498, 174, nullptr},
    {FIELD(lbBrowseArchive),      kLabel,  27, 390,   0,  13, "Compressed archive:"},
    {FIELD(imgBrowse),            kImage, 424, 454,  71,  23, nullptr},
    {FIELD(lbBrowse),             kLabel, 440, 458,  41,  13, "Browse"},
    {FIELD(imgStatus),            kImage,  11, 502, 500,  22, nullptr},
    {FIELD(lbStatus),             kLabel,  22, 505,   0,  13, "Standby."},
    {FIELD(lbCompileInfo1),       kLabel,  27, 102,   0,  13, "Compiling a source folder means"},
    {FIELD(lbCompileInfo2),       kLabel,  27, 116,   0,  13, "every existing file (html files"},
    {FIELD(lbCompileInfo3),       kLabel,  27, 130,   0,  13, "archive optimized for fast"},
    {FIELD(lbGenericInfo1),       kLabel,  12,  14,   0,  13, "This application compresses"},
    {FIELD(lbGenericInfo2),       kLabel,  12,  28,   0,  13, "archive whose length can be"},
    {FIELD(lbGenericInfo3),       kLabel,  12,  42,   0,  13, "(acting as an embedded web server"},
    {FIELD(lbBrowseInfo1),        kLabel,  27, 334,   0,  13, "Browsing a source archive means"},
    {FIELD(lbBrowseInfo2),        kLabel,  27, 348,   0,  13, "linking it to a previously compiled"},
    {FIELD(lbBrowseInfo3),        kLabel,  27, 362,   0,  13, "address http://localhost:8078/index.html."},
    {FIELD(lbGenericInfo4),       kLabel,  12,  56,   0,  13, "a fairly large web site with"},
    {FIELD(edCompileFolder),      kEdit,   27, 175, 467,  19, nullptr},
    {FIELD(edCompileDestination), kEdit,   27, 220, 467,  19, nullptr},
    {FIELD(edBrowseArchive),      kEdit,   27, 405, 467,  19, nullptr},
    {FIELD(tmrClock),             kTimer,   0,   0,   0,   0, nullptr},
};
// clang-format on

TEST_F(WindowTest, FormHasItsCaptionSizeAndFixedBorderAndOpensCentred) {
    TfrmStartup& form = Shown();
    EXPECT_EQ(std::string(form.label()), std::string("Pelorine (v. ") + kProgramVersion + ")");
    EXPECT_EQ(form.w(), 522);
    EXPECT_EQ(form.h(), 533);
    EXPECT_EQ(form.color(), FL_WHITE);
    EXPECT_EQ(form.resizable(), nullptr);
    EXPECT_FALSE(form.StartsMinimized());
    EXPECT_FALSE(AskedToStartIconic(form));

    // Not resizable, for any window manager: minimum and maximum size agree.
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    ASSERT_TRUE(SizeLimits(form, minW, minH, maxW, maxH));
    EXPECT_EQ(minW, 522);
    EXPECT_EQ(maxW, 522);
    EXPECT_EQ(minH, 533);
    EXPECT_EQ(maxH, 533);

    int x = 0, y = 0, screenW = 0, screenH = 0;
    RootPosition(form, x, y);
    ScreenSize(screenW, screenH);
    EXPECT_EQ(x, (screenW - 522) / 2);
    EXPECT_EQ(y, (screenH - 533) / 2);

    // The program's icon reaches the desktop, 32 x 32.
    long iconW = 0, iconH = 0;
    IconSize(form, iconW, iconH);
    EXPECT_EQ(iconW, 32);
    EXPECT_EQ(iconH, 32);
}

TEST_F(WindowTest, TheControlsHaveTheirKindsPlacesSizesAndTexts) {
    TfrmStartup& form = Make();
    const WindowFont& font = TheWindowFont();
    int lastPainted = -1;
    int firstEdit = INT_MAX;
    for (const ExpectedControl& expected : kExpectedControls) {
        SCOPED_TRACE(expected.name);
        Fl_Widget* control = expected.field(form);
        ASSERT_NE(control, nullptr);
        ASSERT_TRUE(expected.isKind(control));
        EXPECT_EQ(control->parent(), &form);
        if (expected.isKind == kTimer) continue;
        EXPECT_EQ(control->x(), expected.left);
        EXPECT_EQ(control->y(), expected.top);
        EXPECT_EQ(control->h(), expected.height);
        if (expected.width > 0) {
            EXPECT_EQ(control->w(), expected.width);
        } else {
            // Sized to its text, which stays inside the window and its frame.
            EXPECT_GT(control->w(), 0);
            EXPECT_LE(control->x() + control->w(), 510);
        }
        if (auto* label = dynamic_cast<LabelControl*>(control)) {
            EXPECT_EQ(label->ShownText().rfind(expected.shownStart, 0), 0u) << label->ShownText();
            const bool action = label == form.lbCompile || label == form.lbBrowse;
            EXPECT_EQ(label->labelfont(), action ? font.bold : font.regular);
            EXPECT_EQ(label->labelsize(), 11);
            EXPECT_EQ(label->HandCursor(), action);
            EXPECT_EQ(label->Clickable(), action);
        }
        if (auto* edit = dynamic_cast<EditControl*>(control)) {
            EXPECT_EQ(edit->box(), FL_FLAT_BOX);
            EXPECT_EQ(edit->color(), fl_rgb_color(244, 244, 244));
            EXPECT_EQ(edit->textsize(), 11);
            EXPECT_GE(edit->maximum_size(), INT_MAX / 2);
            firstEdit = std::min(firstEdit, form.find(edit));
        } else {
            // Painted controls are painted in creation order.
            EXPECT_GT(form.find(control), lastPainted);
            lastPainted = form.find(control);
        }
    }
    // The edit fields lie above every painted control.
    EXPECT_GT(firstEdit, lastPainted);
    EXPECT_TRUE(form.imgCompile->HandCursor());
    EXPECT_TRUE(form.imgBrowse->HandCursor());
    EXPECT_EQ(form.imgWallpaper->Picture()->w(), 522);
    EXPECT_EQ(form.imgWallpaper->Picture()->h(), 580);
    EXPECT_EQ(form.imgCompile->Picture(), form.imgBrowse->Picture());
    EXPECT_EQ(form.tmrClock->Interval(), 1.0);
    EXPECT_TRUE(form.tmrClock->Enabled());
}

TEST_F(WindowTest, FramesAndFieldsArePaintedInTheirColours) {
    TfrmStartup& form = Shown();
    Screenshot(form, "standby");
    const struct {
        int x, y;
        unsigned rgb;
    } pixels[] = {
        {12, 150, 0x666666},   // shpCompile, left side
        {509, 200, 0x666666},  // shpCompile, right side
        {300, 87, 0x666666},   // shpCompile, top
        {300, 492, 0x666666},  // shpBrowse, bottom
        {490, 180, 0xF4F4F4},  // edCompileFolder, past any text
        {490, 225, 0xF4F4F4},  // edCompileDestination
        {490, 410, 0xF4F4F4},  // edBrowseArchive
    };
    for (const auto& pixel : pixels) {
        SCOPED_TRACE(::testing::Message() << pixel.x << "," << pixel.y);
        EXPECT_EQ(PixelAt(form, pixel.x, pixel.y), pixel.rgb);
    }
    // The artwork is drawn: the status bar and the buttons are not bare paper.
    EXPECT_NE(PixelAt(form, 300, 512), PixelAt(form, 300, 530));
    EXPECT_NE(PixelAt(form, 428, 287), PixelAt(form, 420, 287));
}

TEST_F(WindowTest, WithoutArgumentsTheFieldsAreEmptyAndTheStatusStaysStandby) {
    TfrmStartup& form = Shown();
    for (Fl_Widget* input : Inputs()) EXPECT_TRUE(input->active());
    EXPECT_EQ(form.edCompileFolder->Text(), "");
    EXPECT_EQ(form.edCompileDestination->Text(), "");
    EXPECT_EQ(form.edBrowseArchive->Text(), "");
    EXPECT_EQ(form.lbStatus->Caption(), "Standby.");
    Pump(2.5);  // two ticks
    EXPECT_EQ(form.lbStatus->Caption(), "Standby.");
    EXPECT_FALSE(form.CompileStatus().CompileStarted);
    EXPECT_FALSE(form.ServerStatus().ServerActive);
}

TEST_F(WindowTest, TabMovesTheFocusAmongTheFieldsInTabOrder) {
    TfrmStartup& form = Shown();
    // The first field in tab order takes the focus when the window gets it.
    GiveKeyboardFocus(form);
    ASSERT_EQ(Fl::focus(), form.edBrowseArchive);
    const struct {
        const char* keys;
        EditControl* TfrmStartup::*expected;
    } steps[] = {
        {"Tab", &TfrmStartup::edCompileFolder},
        {"Tab", &TfrmStartup::edCompileDestination},
        {"Tab", &TfrmStartup::edBrowseArchive},
        {"shift+Tab", &TfrmStartup::edCompileDestination},
    };
    for (const auto& step : steps) {
        PressKeys(form, step.keys);
        EXPECT_EQ(Fl::focus(), form.*step.expected) << step.keys;
    }
}

TEST_F(WindowTest, AcceleratorsFocusTheirFieldsAndAreUnderlined) {
    TfrmStartup& form = Shown();
    Click(form, 480, 414);
    const struct {
        const char* keys;
        LabelControl* TfrmStartup::*label;
        EditControl* TfrmStartup::*field;
    } accelerators[] = {
        {"alt+f", &TfrmStartup::lbCompileFolder, &TfrmStartup::edCompileFolder},
        {"alt+r", &TfrmStartup::lbCompileDestination, &TfrmStartup::edCompileDestination},
        {"alt+a", &TfrmStartup::lbBrowseArchive, &TfrmStartup::edBrowseArchive},
        {"alt+r", &TfrmStartup::lbCompileDestination, &TfrmStartup::edCompileDestination},
    };
    for (const auto& accelerator : accelerators) {
        SCOPED_TRACE(accelerator.keys);
        EXPECT_EQ((form.*accelerator.label)->AcceleratorKey(), accelerator.keys[4]);
        EXPECT_EQ((form.*accelerator.label)->FocusTarget(), form.*accelerator.field);
        PressKeys(form, accelerator.keys);
        EXPECT_EQ(Fl::focus(), form.*accelerator.field);
    }
    // Typing goes into the focused field; the letters alone are just text.
    Type(form, "fra");
    EXPECT_EQ(form.edCompileDestination->Text(), "fra");
    EXPECT_EQ(Fl::focus(), form.edCompileDestination);

    // The accelerator's letter is underlined: "f" of "folder", not "Sour".
    const LabelControl& label = *form.lbCompileFolder;
    const Fl_Font font = label.labelfont();
    const int row = label.y() + UnderlineRow(font, 11);
    const int letter = label.x() + TextWidth(font, 11, "Source ");
    bool underlined = false;
    for (int x = letter; x < letter + TextWidth(font, 11, "f"); ++x) {
        underlined = underlined || PixelAt(form, x, row) != 0xFFFFFF;
    }
    EXPECT_TRUE(underlined);
    for (int x = label.x(); x < label.x() + TextWidth(font, 11, "Sour"); ++x) {
        EXPECT_EQ(PixelAt(form, x, row), 0xFFFFFFu) << x;
    }
}

TEST_F(WindowTest, ValueOptionsOnlyFillTheFields) {
    const struct {
        std::vector<std::string> arguments;
        const char *folder, *destination, *archive;
    } cases[] = {
        {{"--compile-source"}, "", "", ""},
        {{"--compile-source", "a", "--compile-archive", "b", "--browse-archive", "c"},
         "a",
         "b",
         "c"},
        {{"--compile-source", "a", "--compile-source", "b"}, "b", "", ""},
        {{"--compile-source", "--compile-archive", "z"}, "--compile-archive", "z", ""},
        {{"--COMPILE-SOURCE", "x", "-compile-source", "y", "--Compile", "-browse"}, "", "", ""},
        {{"--browse-archive", "a&b @x"}, "", "", "a&b @x"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(::testing::PrintToString(test.arguments));
        TfrmStartup& form = Make(test.arguments);
        EXPECT_EQ(form.edCompileFolder->Text(), test.folder);
        EXPECT_EQ(form.edCompileDestination->Text(), test.destination);
        EXPECT_EQ(form.edBrowseArchive->Text(), test.archive);
        for (Fl_Widget* input : Inputs()) EXPECT_TRUE(input->active());
        EXPECT_FALSE(form.StartsMinimized());
        EXPECT_FALSE(form.CompileStatus().CompileStarted);
    }
}

TEST_F(WindowTest, ClicksOnTheButtonsOutsideTheirLabelsDoNothing) {
    TfrmStartup& form = Shown();
    const int corners[][2] = {{426, 271}, {492, 289}, {426, 456}, {492, 474}, {300, 513}};
    for (const auto& corner : corners) Click(form, corner[0], corner[1]);
    Pump(0.3);
    for (Fl_Widget* input : Inputs()) EXPECT_TRUE(input->active());
    EXPECT_FALSE(form.CompileStatus().CompileStarted);
    EXPECT_FALSE(form.ServerStatus().ServerActive);
}

TEST_F(WindowTest, CompileWithEmptyFieldsDisablesTheInputsAndShowsDoneAtTheNextTick) {
    TfrmStartup& form = Shown();
    Click(form, 460, 279);  // on "Compile"
    ASSERT_TRUE(PumpUntil([&] { return !form.lbCompile->active(); }, 3));
    for (Fl_Widget* input : Inputs()) EXPECT_FALSE(input->active());
    for (Fl_Widget* other :
         std::vector<Fl_Widget*>{form.imgCompile, form.lbStatus, form.shpCompile}) {
        EXPECT_TRUE(other->active());
    }
    // The archive cannot be created: the compile ends at once; the status
    // line shows it from the next tick, within a second.
    ASSERT_TRUE(PumpUntil([&] { return form.CompileStatus().CompileFinished.load(); }, 3));
    EXPECT_TRUE(PumpUntil([&] { return form.lbStatus->Caption() == kDone; }, 2.5));
    Screenshot(form, "done");

    // After the action nothing reacts any more: not the labels, not typing.
    Click(form, 460, 464);  // "Browse"
    Click(form, 460, 279);  // "Compile" again
    Click(form, 480, 184);  // into edCompileFolder
    Type(form, "abc");
    PressKeys(form, "alt+f");
    Pump(1.2);
    EXPECT_FALSE(form.ServerStatus().ServerActive);
    EXPECT_EQ(form.edCompileFolder->Text(), "");
    EXPECT_EQ(dynamic_cast<EditControl*>(Fl::focus()), nullptr);
    EXPECT_EQ(form.lbStatus->Caption(), kDone);
}

TEST_F(WindowTest, AnActionWhoseThreadCannotStartSaysSoAndLeavesTheInputsEnabled) {
    const struct {
        const char* option;
        const char* status;
    } cases[] = {
        {"--compile", "cannot start the compile thread"},
        {"--browse", "cannot start the web server thread"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        platform::FaultInjection::SetFailThreadStart(true);
        TfrmStartup& form = Make({c.option});
        for (Fl_Widget* input : Inputs()) EXPECT_TRUE(input->active());
        EXPECT_EQ(form.lbStatus->Caption(), c.status);
        Pump(1.2);  // the clock keeps it
        EXPECT_EQ(form.lbStatus->Caption(), c.status);
        EXPECT_FALSE(form.ServerStatus().ServerActive);
        EXPECT_FALSE(form.CompileStatus().CompileStarted);
    }
    // Once a thread can start, the next click runs.
    platform::FaultInjection::Reset();
    form_->lbCompileClick();
    EXPECT_FALSE(form_->lbCompile->active());
    EXPECT_TRUE(PumpUntil([&] { return form_->lbStatus->Caption() == kDone; }, 3.5));
}

// The bytes per second that reads deliver when each read call is held to
// one byte: the best of a few tries, so that a busy moment does not make the
// compile below too short.
double OneByteReadRate() {
    TempDir folder;
    const std::string probe = folder / "probe";
    testing_support::WriteBytes(probe, std::string(1 << 16, 'x'));
    std::string buffer(1 << 16, '\0');
    double best = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        platform::FaultInjection::SetReadLimit(1, INT64_MAX);
        const auto start = std::chrono::steady_clock::now();
        platform::FileHandle file = platform::OpenForReading(probe);
        platform::ReadFile(file, buffer.data(), buffer.size());
        platform::CloseFile(file);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::max(best, buffer.size() / std::max(took.count(), 1e-6));
    }
    platform::FaultInjection::Reset();
    return best;
}

TEST_F(WindowTest, CompileFromTheCommandLineFollowsTheFileBeingPackedUntilDone) {
    // One big file whose one-byte reads take about three seconds, so that
    // ticks fall while it is packed.
    const size_t bigSize =
        std::clamp<size_t>(static_cast<size_t>(OneByteReadRate() * 3.0), 64 << 10, 64 << 20);
    TempDir site;
    const std::map<std::string, std::string> files = {
        {"index.html", "<html>top</html>"},
        {"sub/deeper/index.html", testing_support::CompressibleText(bigSize)},
        {"images/logo.gif", testing_support::RandomBytes(3000)},
        {"styles/site.css", "body { color: black }"},
    };
    for (const auto& [name, bytes] : files) testing_support::WriteBytes(site / name, bytes);
    TempDir out;
    const std::string archive = out / "site.pel";

    platform::FaultInjection::SetReadLimit(1, INT64_MAX);
    TfrmStartup& form = Make({"--compile-source", site.path().string(), "--compile-archive",
                              archive, "--compile", "--compile-source", "later"});
    // Values after the action only fill the fields, which are disabled.
    EXPECT_EQ(form.edCompileFolder->Text(), "later");
    for (Fl_Widget* input : Inputs()) EXPECT_FALSE(input->active());
    EXPECT_FALSE(form.StartsMinimized());
    ShowAndSettle(form, [&] { form.ShowFirst(); });
    EXPECT_FALSE(AskedToStartIconic(form));

    std::vector<std::string> seen{form.lbStatus->Caption()};
    bool shot = false;
    PumpUntil(
        [&] {
            if (form.lbStatus->Caption() != seen.back()) seen.push_back(form.lbStatus->Caption());
            if (!shot && seen.back() == "Compiling index.html...") {
                Screenshot(form, "compiling");
                shot = true;
            }
            return seen.back() == kDone;
        },
        120);
    platform::FaultInjection::Reset();
    ASSERT_EQ(seen.back(), kDone) << ::testing::PrintToString(seen);
    // The bare name of the file in the subfolder, never a path.
    EXPECT_NE(std::find(seen.begin(), seen.end(), "Compiling index.html..."), seen.end())
        << ::testing::PrintToString(seen);
    for (const std::string& text : seen) {
        EXPECT_TRUE(text == "Standby." || text == kDone ||
                    (text.rfind("Compiling ", 0) == 0 && text.find('/') == std::string::npos))
            << text;
    }
    EXPECT_FALSE(form.CompileStatus().CompileFailed);

    // The archive is complete: its index names every file with its size.
    const std::optional<LoadedArchive> loaded = LoadArchive(archive).Archive;
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->Entries.size(), files.size());
    for (const EntryView entry : loaded->Entries) {
        auto file = files.find(std::string(entry.Name));
        ASSERT_NE(file, files.end()) << entry.Name;
        EXPECT_EQ(entry.UnpackedSize, file->second.size());
    }
}

TEST(TimerControlTest, TheNextTickComesOneIntervalAfterTheHandlerEnds) {
    OpenDisplay();
    struct Ticks {
        std::vector<std::chrono::steady_clock::time_point> starts;
        TimerControl* timer = nullptr;
    } ticks;
    auto handler = [](void* data) {
        auto* record = static_cast<Ticks*>(data);
        record->timer->Disable();
        record->starts.push_back(std::chrono::steady_clock::now());
        // A slow handler: the wait for the next tick starts after it.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (record->starts.size() < 3) record->timer->Enable();
    };
    TimerControl timer(handler, &ticks, 0.2);
    ticks.timer = &timer;
    Pump(2.5);
    ASSERT_EQ(ticks.starts.size(), 3u);  // and none after the handler left it disabled
    for (size_t i = 1; i < ticks.starts.size(); ++i) {
        EXPECT_GE(ticks.starts[i] - ticks.starts[i - 1], std::chrono::milliseconds(490));
    }
}

}  // namespace
