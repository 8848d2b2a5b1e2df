// The five kinds of control the window is built from. Each is configured
// entirely by the form description; none holds program state.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Widget.H>

#include <string>

// A bitmap drawn at its own size from the control's top left, cut off at the
// control's edges. Never reacts to the mouse; may show the hand cursor.
class ImageControl : public Fl_Widget {
  public:
    ImageControl(int x, int y, int w, int h, Fl_Image* picture, bool handCursor);
    Fl_Image* Picture() const { return picture_; }
    bool HandCursor() const { return handCursor_; }

  protected:
    void draw() override;
    int handle(int event) override;

  private:
    Fl_Image* picture_;
    bool handCursor_;
};

// A hollow rectangle with a one-pixel grey pen.
class FrameControl : public Fl_Widget {
  public:
    FrameControl(int x, int y, int w, int h);

  protected:
    void draw() override;
};

// One line of transparent text. In the caption of an accelerator label "&"
// marks the accelerator: it is not shown, the next letter is underlined, and
// Alt with that letter focuses FocusTarget(). Other labels show their text
// exactly as it is ("&" and "@" included). A label with a click handler
// reacts to a click released over it.
class LabelControl : public Fl_Widget {
  public:
    // A width of 0 sizes the label to its text (then it keeps doing so);
    // otherwise the text is centred in the given width.
    LabelControl(int x, int y, int w, int h, const char* caption, Fl_Font font, Fl_Fontsize size,
                 bool handCursor, bool accelerator);

    const std::string& Caption() const { return caption_; }
    // Shows `text`; the same text again changes nothing on the screen.
    void SetCaption(const std::string& text);

    void SetClickHandler(Fl_Callback* handler, void* data);
    bool Clickable() const { return clickable_; }
    void SetFocusTarget(Fl_Widget* target) { focusTarget_ = target; }
    Fl_Widget* FocusTarget() const { return focusTarget_; }
    bool HandCursor() const { return handCursor_; }
    bool AutoSize() const { return autoSize_; }

    // The text as it is drawn: without the accelerator mark.
    const std::string& ShownText() const { return shown_; }
    // The accelerator letter, lower case; 0 when there is none.
    char AcceleratorKey() const { return acceleratorIndex_ < 0 ? '\0' : acceleratorKey_; }

  protected:
    void draw() override;
    int handle(int event) override;

  private:
    void Parse();
    void FitToText();

    std::string caption_;
    std::string shown_;
    int acceleratorIndex_ = -1;  // into shown_
    char acceleratorKey_ = 0;
    bool autoSize_;
    bool handCursor_;
    bool accelerator_;
    bool clickable_ = false;
    Fl_Widget* focusTarget_ = nullptr;
};

// A flat single-line edit field without a length limit.
class EditControl : public Fl_Input {
  public:
    EditControl(int x, int y, int w, int h, Fl_Font font, Fl_Fontsize size);
    // The whole text, including any NUL bytes it may hold.
    std::string Text() const { return std::string(value(), static_cast<size_t>(size())); }
    void SetText(const std::string& text) { value(text.data(), static_cast<int>(text.size())); }
};

// A repeating timer delivered through the event loop. It is a hidden control
// of the window so that it ends with the window. While enabled it fires one
// interval after it was enabled and after each tick's handler returns.
class TimerControl : public Fl_Widget {
  public:
    TimerControl(Fl_Timeout_Handler onTimer, void* data, double intervalSeconds = 1.0);
    ~TimerControl() override;

    void Enable();
    void Disable();
    bool Enabled() const { return enabled_; }
    double Interval() const { return interval_; }

  protected:
    void draw() override {}

  private:
    static void Fire(void* timer);

    Fl_Timeout_Handler onTimer_;
    void* data_;
    double interval_;
    bool enabled_ = false;
    bool scheduled_ = false;
};
