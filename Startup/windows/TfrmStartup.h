// The program's one window on Windows, on the Win32 API: the same form
// description as the Linux window gives its controls, texts, places, tab order
// and accelerators. The window paints the wallpaper, frames, pictures and
// labels itself (transparent labels over a picture); the three path fields
// are Windows edit controls.
#pragma once

#include <string>
#include <vector>

#include "Platform/windows/Windows.h"
#include "Startup/CommandLine.h"
#include "Startup/FormDescription.h"
#include "Startup/StartupActions.h"

class TfrmStartup {
  public:
    // Creates the window and every control from the form description, then
    // runs FormCreate with `arguments` (the command line without the program
    // name). The window is not shown yet; see ShowFirst.
    explicit TfrmStartup(std::vector<std::string> arguments);

    // Shows the window for the first time: centred on the screen, and
    // minimized when the command line asked for it.
    void ShowFirst();

    // What the message loop hands over before the dialog keys: Alt with a
    // label's accelerator letter focuses that label's field. True when taken.
    bool TakeAccelerator(const MSG& message);
    HWND Handle() const { return window_; }

    // Event handlers.
    void FormCreate();
    void lbCompileClick();
    void lbBrowseClick();
    void tmrClockTimer();
    void DisableControls();

    // What the compile started here reports.
    const CompileProgress& CompileStatus() const { return actions_.CompileStatus(); }

  private:
    // One control of the description, as placed in the window.
    struct Control {
        const ControlDescription* row = nullptr;
        RECT rect{};
        std::wstring text;        // a label's caption; "&" marks the accelerator where it has one
        wchar_t accelerator = 0;  // lower case; 0 for none
        HWND edit = nullptr;
        bool enabled = true;
    };

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void BuildControls();
    void PlaceLabel(Control& control) const;
    void Paint(HDC target) const;
    Control& Find(ControlId id);
    const Control* HandControlAt(POINT point) const;
    std::string FieldText(ControlId id);
    void SetFieldText(ControlId id, const std::string& text);
    // The fields as the window shows them.
    StartupFields Fields();
    void SetControlsEnabled(bool enabled);
    void RunCompile(const StartupFields& fields);
    void RunBrowse(const StartupFields& fields);
    void ShowStartFailure(const std::string& error);
    void ShowStatus(const std::string& text);

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
    std::vector<Control> controls_;
    std::vector<std::string> arguments_;
    bool startsMinimized_ = false;
    unsigned compileThreads_ = 0;  // from --compile-threads; 0: one per core
    StartupActions actions_;       // ends and joins the compile and the server with the window
};
