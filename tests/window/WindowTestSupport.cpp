#include "tests/window/WindowTestSupport.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <thread>

#include "tests/support/TestFiles.h"

extern char** environ;

namespace window_testing {
namespace {

using Clock = std::chrono::steady_clock;

std::chrono::duration<double> Seconds(double seconds) {
    return std::chrono::duration<double>(seconds);
}

std::string Hex(unsigned long value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

void Xdotool(const std::string& arguments) {
    XSync(fl_display, False);
    testing_support::RunCommand("xdotool " + arguments + " >/dev/null 2>&1");
}

// Lets the toolkit take in what the X server has for it.
void Settle() {
    XSync(fl_display, False);
    Pump(0.25);
}

// The real window a person would close: the toolkit's top-level xid.
Window XidOf(Fl_Window& window) {
    return fl_xid(&window);
}

}  // namespace

void OpenDisplay() {
    fl_open_display();
}

void Pump(double seconds) {
    const auto end = Clock::now() + Seconds(seconds);
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        Fl::wait(std::chrono::duration<double>(end - now).count());
    }
}

bool PumpUntil(const std::function<bool()>& done, double seconds) {
    const auto end = Clock::now() + Seconds(seconds);
    while (!done()) {
        const auto now = Clock::now();
        if (now >= end) return false;
        Fl::wait(std::min(0.05, std::chrono::duration<double>(end - now).count()));
    }
    return true;
}

void ShowAndSettle(Fl_Window& window, const std::function<void()>& show) {
    show();
    PumpUntil(
        [&] {
            if (!window.shown()) return false;
            XWindowAttributes attributes;
            return XGetWindowAttributes(fl_display, XidOf(window), &attributes) != 0 &&
                   attributes.map_state == IsViewable;
        },
        5);
    Pump(0.3);
}

void Click(Fl_Window& window, int x, int y) {
    int left = 0, top = 0;
    RootPosition(window, left, top);
    Xdotool("mousemove --sync " + std::to_string(left + x) + " " + std::to_string(top + y) +
            " click 1");
    Settle();
}

void GiveKeyboardFocus(Fl_Window& window) {
    Xdotool("windowfocus --sync " + Hex(XidOf(window)));
    Settle();
}

void PressKeys(Fl_Window& window, const std::string& keys) {
    Xdotool("windowfocus --sync " + Hex(XidOf(window)));
    Xdotool("key " + keys);
    Settle();
}

void Type(Fl_Window& window, const std::string& text) {
    Xdotool("windowfocus --sync " + Hex(XidOf(window)));
    Xdotool("type --delay 5 '" + text + "'");
    Settle();
}

void Screenshot(Fl_Window& window, const std::string& name) {
    Fl::flush();
    XSync(fl_display, False);
    std::filesystem::create_directories(PELORINE_SCREENSHOT_DIR);
    const std::string path = std::string(PELORINE_SCREENSHOT_DIR) + "/" + name + ".png";
    testing_support::RunCommand("import -window " + Hex(XidOf(window)) + " '" + path + "'");
}

unsigned PixelAt(Fl_Window& window, int x, int y) {
    Fl::flush();
    XSync(fl_display, False);
    XImage* image = XGetImage(fl_display, XidOf(window), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xFFFFFFFF;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    // A 24-bit true-colour visual, as the tests' virtual display has.
    return static_cast<unsigned>(pixel & 0xFFFFFF);
}

void RootPosition(Fl_Window& window, int& x, int& y) {
    Window child;
    XTranslateCoordinates(fl_display, XidOf(window), RootWindow(fl_display, fl_screen), 0, 0, &x,
                          &y, &child);
}

bool AskedToStartIconic(Fl_Window& window) {
    XWMHints* hints = XGetWMHints(fl_display, XidOf(window));
    if (hints == nullptr) return false;
    const bool iconic = (hints->flags & StateHint) != 0 && hints->initial_state == IconicState;
    XFree(hints);
    return iconic;
}

bool SizeLimits(Fl_Window& window, int& minW, int& minH, int& maxW, int& maxH) {
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(fl_display, XidOf(window), &hints, &supplied)) return false;
    if (!(hints.flags & PMinSize) || !(hints.flags & PMaxSize)) return false;
    minW = hints.min_width;
    minH = hints.min_height;
    maxW = hints.max_width;
    maxH = hints.max_height;
    return true;
}

void IconSize(Fl_Window& window, long& w, long& h) {
    w = h = 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(fl_display, XidOf(window), XInternAtom(fl_display, "_NET_WM_ICON", False), 0,
                       2, False, XA_CARDINAL, &type, &format, &count, &after, &data);
    if (data == nullptr) return;
    if (count == 2) {
        w = reinterpret_cast<long*>(data)[0];
        h = reinterpret_cast<long*>(data)[1];
    }
    XFree(data);
}

void ScreenSize(int& w, int& h) {
    w = DisplayWidth(fl_display, fl_screen);
    h = DisplayHeight(fl_display, fl_screen);
}

int TextWidth(Fl_Font font, Fl_Fontsize size, const char* text) {
    fl_font(font, size);
    return static_cast<int>(fl_width(text));
}

int UnderlineRow(Fl_Font font, Fl_Fontsize size) {
    fl_font(font, size);
    return fl_height() - fl_descent() + 1;
}

// --- OpenerStub -----------------------------------------------------------

OpenerStub::OpenerStub(double lingerSeconds) {
    char pattern[] = "/tmp/pelorine-opener-XXXXXX";
    folder_ = mkdtemp(pattern);
    std::ofstream script(folder_ + "/xdg-open");
    script << "#!/bin/sh\n"
           << "for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done >>'" << folder_
           << "/record'\n"
           << "sleep " << lingerSeconds << "\n";
    script.close();
    std::filesystem::permissions(folder_ + "/xdg-open", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    oldPath_ = path != nullptr ? path : "";
    setenv("PATH", (folder_ + ":" + oldPath_).c_str(), 1);
}

OpenerStub::~OpenerStub() {
    setenv("PATH", oldPath_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string OpenerStub::Record() const {
    std::ifstream in(folder_ + "/record");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string OpenerStub::WaitForCall(double seconds) const {
    const auto end = Clock::now() + Seconds(seconds);
    std::string record;
    while ((record = Record()).empty() && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return record;
}

// --- The program as a process ----------------------------------------------

int StartProgram(const std::vector<std::string>& arguments, const std::string& pathFirst) {
    const std::string program = testing_support::ProgramPath();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        if (!pathFirst.empty() && entry.rfind("PATH=", 0) == 0) {
            environment.push_back("PATH=" + pathFirst + ":" + entry.substr(5));
        } else {
            environment.push_back(entry);
        }
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
        return -1;
    }
    return pid;
}

int WaitForExit(int pid, double seconds) {
    const auto end = Clock::now() + Seconds(seconds);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0) return -1;
        if (Clock::now() >= end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

unsigned long FindWindowTitled(const std::string& title, double seconds) {
    // xdotool takes a regular expression: the title's own signs are escaped.
    std::string pattern;
    for (char c : title) {
        if (std::string_view("()[]{}.*+?^$|\\").find(c) != std::string_view::npos) pattern += '\\';
        pattern += c;
    }
    const auto end = Clock::now() + Seconds(seconds);
    do {
        std::string found;
        testing_support::RunCommand("xdotool search --name '^" + pattern + "$' 2>/dev/null",
                                    &found);
        if (!found.empty()) return std::stoul(found);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (Clock::now() < end);
    return 0;
}

void SendClose(unsigned long window) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display);
}

bool HasChildren(int pid) {
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    std::string any;
    return static_cast<bool>(children >> any);
}

}  // namespace window_testing
