// The program's one window: three path fields, the Compile and Browse
// actions, and a status line that follows the workers once a second.
#pragma once

#include <FL/Fl_Double_Window.H>

#include <string>
#include <vector>

#include "Startup/CommandLine.h"
#include "Startup/Controls.h"
#include "Startup/FormDescription.h"
#include "Startup/StartupActions.h"

class TfrmStartup : public Fl_Double_Window {
  public:
    // Builds every control from the form description, then runs FormCreate
    // with `arguments` (the command line without the program name). The
    // window is not shown yet; see ShowFirst.
    explicit TfrmStartup(std::vector<std::string> arguments);

    // Shows the window for the first time: centred on the screen, and
    // minimized when the command line asked for it.
    void ShowFirst();
    bool StartsMinimized() const { return startsMinimized_; }

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
    void FormCreate();
    void lbCompileClick();
    void lbBrowseClick();
    void tmrClockTimer();

    void DisableControls();

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

    // The fields as the window shows them.
    StartupFields Fields() const;
    void SetControlsEnabled(bool enabled);
    void RunCompile(const StartupFields& fields);
    void RunBrowse(const StartupFields& fields);
    void ShowStartFailure(const std::string& error);

    std::vector<std::string> arguments_;
    bool startsMinimized_ = false;
    unsigned compileThreads_ = 0;  // from --compile-threads; 0: one per core
    StartupActions actions_;       // ends and joins the compile and the server with the window
};
