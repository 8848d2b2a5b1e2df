// What the window does, apart from any window toolkit: the command line's
// action when the window is made, Compile and Browse when clicked, a start
// failure, and the status line once a second. Each window only maps its
// controls to the view below and passes its events on.
#pragma once

#include <string>

#include "Startup/CommandLine.h"
#include "Startup/FormDescription.h"
#include "Startup/StartupActions.h"

// The window's controls, as the presenter reads and changes them.
class StartupFormView {
  public:
    virtual ~StartupFormView() = default;
    // An edit field's text (edCompileFolder, edCompileDestination, edBrowseArchive).
    virtual std::string FieldText(ControlId field) = 0;
    virtual void SetFieldText(ControlId field, const std::string& text) = 0;
    // Whether an input takes clicks and typing.
    virtual void SetControlEnabled(ControlId control, bool enabled) = 0;
    // The status line's caption (lbStatus).
    virtual void ShowStatus(const std::string& text) = 0;
};

class StartupFormPresenter {
  public:
    // Both must outlive the presenter.
    StartupFormPresenter(StartupFormView& view, FormActions& actions)
        : view_(view), actions_(actions) {}

    // Before the window is first shown: the walk's action, with the fields as
    // they stood when it was met; then the fields as they stand after the
    // last argument.
    void FormCreate(const CommandLineWalk& walk);
    // After a Browse from the command line.
    bool StartsMinimized() const { return startsMinimized_; }

    void lbCompileClick();
    void lbBrowseClick();
    void tmrClockTimer();

  private:
    // The fields as the window shows them.
    StartupFields Fields();
    void SetControlsEnabled(bool enabled);
    void RunCompile(const StartupFields& fields);
    void RunBrowse(const StartupFields& fields);
    void ShowStartFailure(const std::string& error);

    StartupFormView& view_;
    FormActions& actions_;
    bool startsMinimized_ = false;
    unsigned compileThreads_ = 0;  // from --compile-threads; 0: one per core
};
