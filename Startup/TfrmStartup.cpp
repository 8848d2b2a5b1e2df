#include "Startup/TfrmStartup.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "Startup/Artwork.h"
#include "Startup/CommandLine.h"
#include "Startup/FormDescription.h"
#include "Startup/WindowFont.h"

namespace {

// The toolkit's own white for white, as the window has always been painted.
Fl_Color ToolkitColor(uint32_t rgb) {
    if (rgb == 0xFFFFFF) return FL_WHITE;
    return fl_rgb_color(static_cast<uchar>(rgb >> 16), static_cast<uchar>(rgb >> 8),
                        static_cast<uchar>(rgb));
}

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
                                    hand, row.focuses != ControlId::NoControl);
        case ControlKind::Edit:
            return new EditControl(row.left, row.top, row.width, row.height, font.regular,
                                   font.size);
        case ControlKind::Timer:
            // The window's one timer is its clock.
            return new TimerControl(TfrmStartup::tmrClockTimerEvent, &form,
                                    StartupFormProperties().clockIntervalMilliseconds / 1000.0);
    }
    return nullptr;
}

}  // namespace

// Makes every control of the description as a child of the window: the painted
// ones in their order, then the edit fields in tab order, since the toolkit
// moves the focus in child order. Then wires accelerators and handlers.
void TfrmStartup::BuildControls() {
    const WindowFont& font = TheWindowFont();
    const std::span<const ControlDescription> rows = StartupFormControls();
    std::vector<const ControlDescription*> order;
    for (const ControlDescription& row : rows) {
        if (row.tabOrder == kNoTab) order.push_back(&row);
    }
    std::vector<const ControlDescription*> fields;
    for (const ControlDescription& row : rows) {
        if (row.tabOrder != kNoTab) fields.push_back(&row);
    }
    std::sort(fields.begin(), fields.end(),
              [](auto* a, auto* b) { return a->tabOrder < b->tabOrder; });
    order.insert(order.end(), fields.begin(), fields.end());

    // Each control is handed to the window, which owns and deletes it.
    end();
    for (const ControlDescription* row : order) {
        Fl_Widget* control = MakeControl(*this, *row, font);
        add(control);
        made_[static_cast<size_t>(row->id)] = control;
        Keep(row->id, control);
    }

    for (const ControlDescription& row : rows) {
        if (row.focuses == ControlId::NoControl) continue;
        static_cast<LabelControl*>(made_[static_cast<size_t>(row.id)])
            ->SetFocusTarget(made_[static_cast<size_t>(row.focuses)]);
    }
    lbCompile->SetClickHandler(lbCompileClickEvent, this);
    lbBrowse->SetClickHandler(lbBrowseClickEvent, this);
}

void TfrmStartup::Keep(ControlId id, Fl_Widget* control) {
    auto* image = static_cast<ImageControl*>(control);
    auto* frame = static_cast<FrameControl*>(control);
    auto* label = static_cast<LabelControl*>(control);
    auto* edit = static_cast<EditControl*>(control);
    switch (id) {
        // clang-format off
        case ControlId::imgWallpaper:         imgWallpaper = image; break;
        case ControlId::shpCompile:           shpCompile = frame; break;
        case ControlId::imgCompile:           imgCompile = image; break;
        case ControlId::lbCompile:            lbCompile = label; break;
        case ControlId::lbCompileFolder:      lbCompileFolder = label; break;
        case ControlId::lbCompileDestination: lbCompileDestination = label; break;
        case ControlId::shpBrowse:            shpBrowse = frame; break;
        case ControlId::lbBrowseArchive:      lbBrowseArchive = label; break;
        case ControlId::imgBrowse:            imgBrowse = image; break;
        case ControlId::lbBrowse:             lbBrowse = label; break;
        case ControlId::imgStatus:            imgStatus = image; break;
        case ControlId::lbStatus:             lbStatus = label; break;
        case ControlId::lbCompileInfo1:       lbCompileInfo1 = label; break;
        case ControlId::lbCompileInfo2:       lbCompileInfo2 = label; break;
        case ControlId::lbCompileInfo3:       lbCompileInfo3 = label; break;
        case ControlId::lbGenericInfo1:       lbGenericInfo1 = label; break;
        case ControlId::lbGenericInfo2:       lbGenericInfo2 = label; break;
        case ControlId::lbGenericInfo3:       lbGenericInfo3 = label; break;
        case ControlId::lbBrowseInfo1:        lbBrowseInfo1 = label; break;
        case ControlId::lbBrowseInfo2:        lbBrowseInfo2 = label; break;
        case ControlId::lbBrowseInfo3:        lbBrowseInfo3 = label; break;
        case ControlId::lbGenericInfo4:       lbGenericInfo4 = label; break;
        case ControlId::edCompileFolder:      edCompileFolder = edit; break;
        case ControlId::edCompileDestination: edCompileDestination = edit; break;
        case ControlId::edBrowseArchive:      edBrowseArchive = edit; break;
        case ControlId::tmrClock:             tmrClock = static_cast<TimerControl*>(control); break;
        case ControlId::NoControl:                 break;
            // clang-format on
    }
}

TfrmStartup::TfrmStartup(const StartupSettings& settings)
    : Fl_Double_Window(StartupFormProperties().clientWidth, StartupFormProperties().clientHeight,
                       StartupFormProperties().caption.c_str()),
      actions_(settings.Actions) {
    // Labels measure their text while they are made.
    fl_open_display();
    const FormProperties& properties = StartupFormProperties();
    color(ToolkitColor(properties.color));
    size_range(w(), h(), w(), h());
    xclass(properties.applicationTitle);
    iconlabel(properties.applicationTitle);
    icon(ProgramIcon());
    callback(CloseEvent);
    BuildControls();
    FormCreate(settings.Walk);
}

void TfrmStartup::ShowFirst() {
    int screenX = 0, screenY = 0, screenW = 0, screenH = 0;
    Fl::screen_xywh(screenX, screenY, screenW, screenH, 0);
    position(screenX + (screenW - w()) / 2, screenY + (screenH - h()) / 2);
    if (StartsMinimized()) {
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

std::string TfrmStartup::FieldText(ControlId field) {
    return static_cast<EditControl*>(made_[static_cast<size_t>(field)])->Text();
}

void TfrmStartup::SetFieldText(ControlId field, const std::string& text) {
    static_cast<EditControl*>(made_[static_cast<size_t>(field)])->SetText(text);
}

void TfrmStartup::SetControlEnabled(ControlId control, bool enabled) {
    Fl_Widget* widget = made_[static_cast<size_t>(control)];
    if (enabled) {
        widget->activate();
    } else {
        widget->deactivate();
    }
}

void TfrmStartup::ShowStatus(const std::string& text) {
    lbStatus->SetCaption(text);
}

void TfrmStartup::tmrClockTimer() {
    tmrClock->Disable();
    presenter_.tmrClockTimer();
    tmrClock->Enable();
}
