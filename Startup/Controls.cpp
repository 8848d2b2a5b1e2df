#include "Startup/Controls.h"

#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cctype>
#include <climits>
#include <cmath>

namespace {

// Where the mouse shows that something can be clicked.
void ShowCursor(Fl_Widget* widget, Fl_Cursor cursor) {
    if (Fl_Window* window = widget->window()) window->cursor(cursor);
}

}  // namespace

// --- ImageControl ---------------------------------------------------------

ImageControl::ImageControl(int x, int y, int w, int h, Fl_Image* picture, bool handCursor)
    : Fl_Widget(x, y, w > 0 ? w : picture->w(), h > 0 ? h : picture->h()),
      picture_(picture),
      handCursor_(handCursor) {
    box(FL_NO_BOX);
    clear_visible_focus();
}

void ImageControl::draw() {
    fl_push_clip(x(), y(), w(), h());
    picture_->draw(x(), y());
    fl_pop_clip();
}

int ImageControl::handle(int event) {
    if (!handCursor_) return 0;
    switch (event) {
        case FL_ENTER:
            ShowCursor(this, FL_CURSOR_HAND);
            return 1;
        case FL_LEAVE:
            ShowCursor(this, FL_CURSOR_DEFAULT);
            return 1;
        default:
            return 0;
    }
}

// --- FrameControl ---------------------------------------------------------

FrameControl::FrameControl(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {
    box(FL_NO_BOX);
    clear_visible_focus();
}

void FrameControl::draw() {
    fl_color(fl_rgb_color(102, 102, 102));
    fl_rect(x(), y(), w(), h());
}

// --- LabelControl ---------------------------------------------------------

LabelControl::LabelControl(int x, int y, int w, int h, const char* caption, Fl_Font font,
                           Fl_Fontsize size, bool handCursor, bool accelerator)
    : Fl_Widget(x, y, w, h),
      caption_(caption),
      autoSize_(w <= 0),
      handCursor_(handCursor),
      accelerator_(accelerator) {
    box(FL_NO_BOX);
    labelfont(font);
    labelsize(size);
    clear_visible_focus();
    Parse();
    if (autoSize_) FitToText();
}

void LabelControl::SetCaption(const std::string& text) {
    if (text == caption_) return;
    // The old text's area is repainted from what lies below the label.
    if (Fl_Window* window = this->window()) window->damage(FL_DAMAGE_ALL, x(), y(), w(), h());
    caption_ = text;
    Parse();
    if (autoSize_) FitToText();
    redraw();
}

void LabelControl::SetClickHandler(Fl_Callback* handler, void* data) {
    callback(handler, data);
    clickable_ = handler != nullptr;
}

void LabelControl::Parse() {
    shown_.clear();
    acceleratorIndex_ = -1;
    if (!accelerator_) {
        shown_ = caption_;
        return;
    }
    // "&x" marks x; "&&" stands for a plain "&".
    for (size_t i = 0; i < caption_.size(); ++i) {
        char c = caption_[i];
        if (c == '&' && i + 1 < caption_.size()) {
            c = caption_[++i];
            if (c != '&' && acceleratorIndex_ < 0) {
                acceleratorIndex_ = static_cast<int>(shown_.size());
                acceleratorKey_ = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
        }
        shown_ += c;
    }
}

void LabelControl::FitToText() {
    fl_font(labelfont(), labelsize());
    size(static_cast<int>(std::ceil(fl_width(shown_.data(), static_cast<int>(shown_.size())))),
         h());
}

void LabelControl::draw() {
    fl_font(labelfont(), labelsize());
    fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
    const int length = static_cast<int>(shown_.size());
    const int textWidth = static_cast<int>(std::ceil(fl_width(shown_.data(), length)));
    const int left = autoSize_ ? x() : x() + (w() - textWidth) / 2;
    // Text hangs from the top of the label, as one line.
    const int baseline = y() + fl_height() - fl_descent();
    // The counted form draws the bytes as text: no "@" symbols, no "&" marks.
    fl_draw(shown_.data(), length, left, baseline);
    if (acceleratorIndex_ >= 0 && acceleratorIndex_ < length) {
        const char* letter = shown_.data() + acceleratorIndex_;
        const int from = left + static_cast<int>(fl_width(shown_.data(), acceleratorIndex_));
        const int width = static_cast<int>(fl_width(letter, 1));
        fl_xyline(from, baseline + 1, from + width - 1);
    }
}

int LabelControl::handle(int event) {
    switch (event) {
        case FL_ENTER:
        case FL_LEAVE:
            if (!handCursor_) return 0;
            ShowCursor(this, event == FL_ENTER ? FL_CURSOR_HAND : FL_CURSOR_DEFAULT);
            return 1;
        case FL_PUSH:
        case FL_DRAG:
            return clickable_ ? 1 : 0;
        case FL_RELEASE:
            if (!clickable_) return 0;
            if (Fl::event_inside(this)) do_callback();
            return 1;
        case FL_SHORTCUT:
            // The toolkit matches Alt with the letter after "&" in the caption.
            if (focusTarget_ == nullptr || AcceleratorKey() == 0) return 0;
            if (Fl::event_state(FL_CTRL | FL_META)) return 0;
            if (!test_shortcut(caption_.c_str(), true)) return 0;
            return focusTarget_->take_focus();
        default:
            return 0;
    }
}

// --- EditControl ----------------------------------------------------------

EditControl::EditControl(int x, int y, int w, int h, Fl_Font font, Fl_Fontsize size)
    : Fl_Input(x, y, w, h) {
    box(FL_FLAT_BOX);
    color(fl_rgb_color(244, 244, 244));
    textfont(font);
    textsize(size);
    maximum_size(INT_MAX);
}

// --- TimerControl ---------------------------------------------------------

TimerControl::TimerControl(Fl_Timeout_Handler onTimer, void* data, double intervalSeconds)
    : Fl_Widget(0, 0, 0, 0), onTimer_(onTimer), data_(data), interval_(intervalSeconds) {
    clear_visible_focus();
    hide();
    Enable();
}

TimerControl::~TimerControl() {
    Fl::remove_timeout(Fire, this);
}

void TimerControl::Enable() {
    enabled_ = true;
    if (scheduled_) return;
    Fl::add_timeout(interval_, Fire, this);
    scheduled_ = true;
}

void TimerControl::Disable() {
    enabled_ = false;
    if (!scheduled_) return;
    Fl::remove_timeout(Fire, this);
    scheduled_ = false;
}

void TimerControl::Fire(void* raw) {
    auto* timer = static_cast<TimerControl*>(raw);
    timer->scheduled_ = false;
    if (!timer->enabled_) return;
    timer->onTimer_(timer->data_);
    // Still enabled and not restarted by the handler: the next tick is one
    // interval from now, after the handler.
    if (timer->enabled_ && !timer->scheduled_) {
        Fl::add_timeout(timer->interval_, Fire, timer);
        timer->scheduled_ = true;
    }
}
