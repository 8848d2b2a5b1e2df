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
#include "Startup/StartupFormPresenter.h"

class TfrmStartup : private StartupFormView {
  public:
    // Creates the window and every control from the form description, then
    // runs FormCreate with the command line's walk. The window is not shown
    // yet; see ShowFirst.
    explicit TfrmStartup(const StartupSettings& settings);

    // Shows the window for the first time: centred on the screen, and
    // minimized when the command line asked for it.
    void ShowFirst();

    // What the message loop hands over before the dialog keys: Alt with a
    // label's accelerator letter focuses that label's field. True when taken.
    bool TakeAccelerator(const MSG& message);
    HWND Handle() const { return window_; }

    // Event handlers.
    void FormCreate(const CommandLineWalk& walk) { presenter_.FormCreate(walk); }
    void lbCompileClick() { presenter_.lbCompileClick(); }
    void lbBrowseClick() { presenter_.lbBrowseClick(); }
    void tmrClockTimer() { presenter_.tmrClockTimer(); }

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

    // The view, on the controls.
    std::string FieldText(ControlId field) override;
    void SetFieldText(ControlId field, const std::string& text) override;
    void SetControlEnabled(ControlId control, bool enabled) override;
    void ShowStatus(const std::string& text) override;

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT boldFont_ = nullptr;
    std::vector<Control> controls_;
    StartupActions actions_;  // ends and joins the compile and the server with the window
    StartupFormPresenter presenter_{*this, actions_};
};
