// The program's one window: three path fields, the Compile and Browse
// actions, and a status line that follows the workers once a second.
#pragma once

#include <FL/Fl_Double_Window.H>

#include <string>

#include "Startup/CommandLine.h"
#include "Startup/Controls.h"
#include "Startup/FormDescription.h"
#include "Startup/StartupActions.h"
#include "Startup/StartupFormPresenter.h"

class TfrmStartup : public Fl_Double_Window, private StartupFormView {
  public:
    // Builds every control from the form description, then runs FormCreate
    // with the command line's walk. The window is not shown yet; see
    // ShowFirst.
    explicit TfrmStartup(const StartupSettings& settings);

    // Shows the window for the first time: centred on the screen, and
    // minimized when the command line asked for it.
    void ShowFirst();
    bool StartsMinimized() const { return presenter_.StartsMinimized(); }

    // The controls, in this order; made by the form description.
    EditControl* edBrowseArchive = nullptr;
    EditControl* edCompileDestination = nullptr;
    EditControl* edCompileFolder = nullptr;
    ImageControl* imgBrowse = nullptr;
    ImageControl* imgCompile = nullptr;
    ImageControl* imgStatus = nullptr;
    ImageControl* imgWallpaper = nullptr;
    LabelControl* lbBrowse = nullptr;
    LabelControl* lbBrowseArchive = nullptr;
    LabelControl* lbBrowseInfo1 = nullptr;
    LabelControl* lbBrowseInfo2 = nullptr;
    LabelControl* lbBrowseInfo3 = nullptr;
    LabelControl* lbCompile = nullptr;
    LabelControl* lbCompileDestination = nullptr;
    LabelControl* lbCompileFolder = nullptr;
    LabelControl* lbCompileInfo1 = nullptr;
    LabelControl* lbCompileInfo2 = nullptr;
    LabelControl* lbCompileInfo3 = nullptr;
    LabelControl* lbGenericInfo1 = nullptr;
    LabelControl* lbGenericInfo2 = nullptr;
    LabelControl* lbGenericInfo3 = nullptr;
    LabelControl* lbGenericInfo4 = nullptr;
    LabelControl* lbStatus = nullptr;
    FrameControl* shpBrowse = nullptr;
    FrameControl* shpCompile = nullptr;
    TimerControl* tmrClock = nullptr;

    // Event handlers.
    void FormCreate(const CommandLineWalk& walk) { presenter_.FormCreate(walk); }
    void lbCompileClick() { presenter_.lbCompileClick(); }
    void lbBrowseClick() { presenter_.lbBrowseClick(); }
    void tmrClockTimer();

    // What the compile started here reports.
    const CompileProgress& CompileStatus() const { return actions_.CompileStatus(); }
    const ServerState& ServerStatus() const { return actions_.ServerStatus(); }

    // The toolkit's callbacks, each passing straight on to its handler.
    static void lbCompileClickEvent(Fl_Widget*, void* form) {
        static_cast<TfrmStartup*>(form)->lbCompileClick();
    }
    static void lbBrowseClickEvent(Fl_Widget*, void* form) {
        static_cast<TfrmStartup*>(form)->lbBrowseClick();
    }
    static void tmrClockTimerEvent(void* form) { static_cast<TfrmStartup*>(form)->tmrClockTimer(); }
    static void CloseEvent(Fl_Widget* form, void*);

  private:
    void BuildControls();
    // Stores a made control in its field.
    void Keep(ControlId id, Fl_Widget* control);

    // The view, on the controls.
    std::string FieldText(ControlId field) override;
    void SetFieldText(ControlId field, const std::string& text) override;
    void SetControlEnabled(ControlId control, bool enabled) override;
    void ShowStatus(const std::string& text) override;

    // Every control made, by its id.
    Fl_Widget* made_[static_cast<size_t>(ControlId::NoControl)] = {};
    StartupActions actions_;  // ends and joins the compile and the server with the window
    StartupFormPresenter presenter_{*this, actions_};
};
