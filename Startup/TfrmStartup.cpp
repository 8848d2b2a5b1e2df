#include "Startup/TfrmStartup.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string_view>

#include "Compiler/CompileThread.h"
#include "Compiler/Progress.h"
#include "Platform/ShellOpen.h"
#include "Platform/Thread.h"
#include "Startup/Artwork.h"
#include "Startup/CommandLine.h"
#include "Startup/FormDescription.h"
#include "Startup/StatusText.h"
#include "Startup/WindowFont.h"
#include "WebServer/Listener.h"
#include "WebServer/ServerState.h"

// The command line drives the window's own fields and actions.
class WindowCommandLine final : public CommandLineTarget {
  public:
    explicit WindowCommandLine(TfrmStartup& form) : form_(form) {}

    void SetCompileFolder(const std::string& text) override {
        SetText(form_.edCompileFolder, text);
    }
    void SetCompileDestination(const std::string& text) override {
        SetText(form_.edCompileDestination, text);
    }
    void SetBrowseArchive(const std::string& text) override {
        SetText(form_.edBrowseArchive, text);
    }
    void Compile() override { form_.lbCompileClick(); }
    void Browse() override {
        form_.startsMinimized_ = true;
        form_.lbBrowseClick();
    }
    // The window shows no messages: a second action is simply not run.
    void SecondActionIgnored(const std::string&) override {}

  private:
    static void SetText(EditControl* field, const std::string& text) {
        field->value(text.data(), static_cast<int>(text.size()));
    }

    TfrmStartup& form_;
};

namespace {

Fl_Widget* MakeControl(TfrmStartup& form, const ControlDescription& row, const WindowFont& font) {
    const bool hand = (row.style & kHandCursor) != 0;
    switch (row.kind) {
        case ControlKind::Image:
            return new ImageControl(row.left, row.top, row.width, row.height,
                                    ArtworkImage(row.text), hand);
        case ControlKind::Frame:
            return new FrameControl(row.left, row.top, row.width, row.height);
        case ControlKind::Label:
            return new LabelControl(row.left, row.top, row.width, row.height, row.text,
                                    (row.style & kBold) != 0 ? font.bold : font.regular, font.size,
                                    hand, row.focusControl != nullptr);
        case ControlKind::Edit:
            return new EditControl(row.left, row.top, row.width, row.height, font.regular,
                                   font.size);
        case ControlKind::Timer:
            return new TimerControl(row.onTimer, &form);
    }
    return nullptr;
}

// Makes every control of the description, in its order, as a child of the
// window; then wires accelerators, click handlers and the tab order.
void BuildControls(TfrmStartup& form) {
    const WindowFont& font = TheWindowFont();
    std::map<std::string_view, Fl_Widget*> byName;
    form.begin();
    for (const ControlDescription& row : StartupFormControls()) {
        Fl_Widget* control = MakeControl(form, row, font);
        row.bind(form, control);
        byName[row.name] = control;
    }
    form.end();

    std::vector<std::pair<int, Fl_Widget*>> tabOrder;
    for (const ControlDescription& row : StartupFormControls()) {
        Fl_Widget* control = byName[row.name];
        if (row.kind == ControlKind::Label) {
            auto* label = static_cast<LabelControl*>(control);
            if (row.focusControl != nullptr) label->SetFocusTarget(byName.at(row.focusControl));
            if (row.onClick != nullptr) label->SetClickHandler(row.onClick, &form);
        }
        if (row.tabOrder >= 0) tabOrder.emplace_back(row.tabOrder, control);
    }
    // The toolkit moves the focus in child order: the edit fields, which lie
    // above every painted control, are put in tab order among themselves.
    std::sort(tabOrder.begin(), tabOrder.end());
    int first = form.children();
    for (const auto& [order, control] : tabOrder) first = std::min(first, form.find(control));
    for (size_t i = 0; i < tabOrder.size(); ++i) {
        form.insert(*tabOrder[i].second, first + static_cast<int>(i));
    }
}

}  // namespace

TfrmStartup::TfrmStartup(std::vector<std::string> arguments)
    : Fl_Double_Window(StartupFormProperties().clientWidth, StartupFormProperties().clientHeight,
                       StartupFormProperties().caption),
      arguments_(std::move(arguments)) {
    // Labels measure their text while they are made.
    fl_open_display();
    const FormProperties& properties = StartupFormProperties();
    color(properties.color);
    size_range(w(), h(), w(), h());
    xclass(properties.applicationTitle);
    iconlabel(properties.applicationTitle);
    icon(ProgramIcon());
    callback(CloseEvent);
    BuildControls(*this);
    FormCreate();
}

void TfrmStartup::ShowFirst() {
    int screenX = 0, screenY = 0, screenW = 0, screenH = 0;
    Fl::screen_xywh(screenX, screenY, screenW, screenH, 0);
    position(screenX + (screenW - w()) / 2, screenY + (screenH - h()) / 2);
    if (startsMinimized_) {
        iconize();  // not shown yet: shows it minimized
    } else {
        show();
    }
}

void TfrmStartup::CloseEvent(Fl_Widget* form, void*) {
    // Only the close button ends the window; Escape does not.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    form->hide();
}

void TfrmStartup::FormCreate() {
    WindowCommandLine target(*this);
    WalkCommandLine(arguments_, target);
}

void TfrmStartup::DisableControls() {
    lbBrowse->deactivate();
    lbCompile->deactivate();
    edCompileFolder->deactivate();
    edCompileDestination->deactivate();
    edBrowseArchive->deactivate();
}

void TfrmStartup::lbCompileClick() {
    DisableControls();
    platform::StartThread(CompileJob{edCompileFolder->Text(), edCompileDestination->Text()});
}

void TfrmStartup::lbBrowseClick() {
    DisableControls();
    platform::StartThread(ServeJob{edBrowseArchive->Text(), kServerPort});
    platform::ShellOpen(kStartPageUrl);
}

void TfrmStartup::tmrClockTimer() {
    tmrClock->Disable();
    lbStatus->SetCaption(CurrentStatusText());
    tmrClock->Enable();
}
