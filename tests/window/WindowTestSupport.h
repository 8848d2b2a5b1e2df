// Helpers for the window tests: the event loop run for a bounded time, real
// mouse and keyboard input through the X server (xdotool), screenshots, a
// stand-in for the desktop's browser opener, and the window's X properties.
#pragma once

#include <FL/Fl_Window.H>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace window_testing {

// Opens the display named by DISPLAY for the toolkit (with-display.sh's).
void OpenDisplay();

// Runs the toolkit's event loop for `seconds`.
void Pump(double seconds);

// Runs the event loop until `done` holds or `seconds` pass; whether it held.
bool PumpUntil(const std::function<bool()>& done, double seconds);

// Shows `window` and waits until the X server has mapped and drawn it.
void ShowAndSettle(Fl_Window& window, const std::function<void()>& show);

// Real input through the X server, then the event loop run until the
// toolkit has seen it. Coordinates are in the window's client area.
void Click(Fl_Window& window, int x, int y);
void GiveKeyboardFocus(Fl_Window& window);                   // as the desktop does on activation
void PressKeys(Fl_Window& window, const std::string& keys);  // e.g. "Tab", "alt+f"
void Type(Fl_Window& window, const std::string& text);

// Saves the window's picture as screenshots/<name>.png in the build tree.
void Screenshot(Fl_Window& window, const std::string& name);

// The colour of one client pixel, as 0xRRGGBB.
unsigned PixelAt(Fl_Window& window, int x, int y);

// The window's place on the root window.
void RootPosition(Fl_Window& window, int& x, int& y);

// Whether the window asked to start minimized (WM_HINTS initial state).
bool AskedToStartIconic(Fl_Window& window);

// The smallest and largest size the window lets the window manager give it;
// false when it sets none.
bool SizeLimits(Fl_Window& window, int& minW, int& minH, int& maxW, int& maxH);

// The size of the first icon the window gives the desktop (0 x 0: none).
void IconSize(Fl_Window& window, long& w, long& h);

void ScreenSize(int& w, int& h);

// Measures `text` in a toolkit font: its width and, for one line drawn from
// the top, the row just below the baseline.
int TextWidth(Fl_Font font, Fl_Fontsize size, const char* text);
int UnderlineRow(Fl_Font font, Fl_Fontsize size);

// An xdg-open stand-in first on PATH: it writes each call's arguments, one a
// line, to a record file, then waits `lingerSeconds` before it ends.
class OpenerStub {
  public:
    explicit OpenerStub(double lingerSeconds = 0);
    ~OpenerStub();
    // What the opener was called with so far.
    std::string Record() const;
    // Waits up to `seconds` for a first call; its record.
    std::string WaitForCall(double seconds) const;

  private:
    std::string folder_;
    std::string oldPath_;
};

}  // namespace window_testing

namespace window_testing {

// The program under test, started with `arguments` and `PATH` put first on
// its search path (when not empty); -1 when it could not be started.
int StartProgram(const std::vector<std::string>& arguments, const std::string& pathFirst = "");

// Waits up to `seconds` for the process to end; its exit status, or -1 when
// it is still running (it is then killed).
int WaitForExit(int pid, double seconds);

// The top-level window whose title is `title`, waited for up to `seconds`; 0
// when there is none.
unsigned long FindWindowTitled(const std::string& title, double seconds);

// Asks a window to close, as its close button does.
void SendClose(unsigned long window);

// Whether the process has any child process left (a zombie included).
bool HasChildren(int pid);

}  // namespace window_testing
