#include "Startup/StartupFormPresenter.h"

void StartupFormPresenter::FormCreate(const CommandLineWalk& walk) {
    // The action takes the fields as they stood when it was met; the values
    // after it only fill the fields.
    if (walk.Action == StartupAction::Compile) RunCompile(walk.FieldsAtAction);
    if (walk.Action == StartupAction::Browse) {
        startsMinimized_ = true;
        RunBrowse(walk.FieldsAtAction);
    }
    view_.SetFieldText(ControlId::edCompileFolder, walk.Fields.CompileFolder);
    view_.SetFieldText(ControlId::edCompileDestination, walk.Fields.CompileDestination);
    view_.SetFieldText(ControlId::edBrowseArchive, walk.Fields.BrowseArchive);
    compileThreads_ = walk.Fields.CompileThreads;
}

StartupFields StartupFormPresenter::Fields() {
    return StartupFields{view_.FieldText(ControlId::edCompileFolder),
                         view_.FieldText(ControlId::edCompileDestination),
                         view_.FieldText(ControlId::edBrowseArchive), compileThreads_};
}

void StartupFormPresenter::SetControlsEnabled(bool enabled) {
    for (ControlId id : {ControlId::lbBrowse, ControlId::lbCompile, ControlId::edCompileFolder,
                         ControlId::edCompileDestination, ControlId::edBrowseArchive}) {
        view_.SetControlEnabled(id, enabled);
    }
}

void StartupFormPresenter::RunCompile(const StartupFields& fields) {
    SetControlsEnabled(false);
    ShowStartFailure(actions_.Compile(fields));
}

void StartupFormPresenter::RunBrowse(const StartupFields& fields) {
    SetControlsEnabled(false);
    ShowStartFailure(actions_.BrowseAndOpenStartPage(fields));
}

// An action whose thread could not start leaves the inputs to try again, and
// says so at once.
void StartupFormPresenter::ShowStartFailure(const std::string& error) {
    if (error.empty()) return;
    SetControlsEnabled(true);
    view_.ShowStatus(error);
}

void StartupFormPresenter::lbCompileClick() {
    RunCompile(Fields());
}

void StartupFormPresenter::lbBrowseClick() {
    RunBrowse(Fields());
}

void StartupFormPresenter::tmrClockTimer() {
    view_.ShowStatus(actions_.StatusLine());
}
