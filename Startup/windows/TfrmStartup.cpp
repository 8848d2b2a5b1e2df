#include "Startup/windows/TfrmStartup.h"

#include <algorithm>
#include <cwctype>

#include "Platform/windows/WindowsText.h"
#include "Startup/CommandLine.h"
#include "Startup/windows/XpmBitmap.h"

using platform::windows::Narrow;
using platform::windows::Widen;

namespace {

constexpr wchar_t kWindowClass[] = L"TfrmStartup";
constexpr UINT_PTR kClockTimer = 1;
// The frames' pen, as on Linux.
constexpr COLORREF kFrameColor = RGB(102, 102, 102);

COLORREF ToColorRef(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The letter after a single "&"; 0 when there is none.
wchar_t AcceleratorOf(const std::wstring& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] != L'&') return static_cast<wchar_t>(std::towlower(caption[i + 1]));
        ++i;
    }
    return 0;
}

HFONT MakeFont(bool bold) {
    // Windows' own dialog face, 8 points at 96 dots per inch.
    return CreateFontW(-11, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

UINT LabelFormat(const ControlDescription& row) {
    UINT format = DT_SINGLELINE | DT_NOCLIP | DT_TOP;
    if (row.focuses == ControlId::NoControl) format |= DT_NOPREFIX;
    format |= row.width == kSizedToContent ? DT_LEFT : DT_CENTER;
    return format;
}

}  // namespace

TfrmStartup::TfrmStartup(const StartupSettings& settings) : actions_(settings.Actions) {
    const FormProperties& properties = StartupFormProperties();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ProgramIcon();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

    // A fixed size: no sizing border, no maximize box.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT frame{0, 0, properties.clientWidth, properties.clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    font_ = MakeFont(false);
    boldFont_ = MakeFont(true);
    window_ = CreateWindowExW(0, kWindowClass, Widen(properties.caption).c_str(), style,
                              CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, instance, this);
    BuildControls();
    SetTimer(window_, kClockTimer, static_cast<UINT>(properties.clockIntervalMilliseconds),
             nullptr);
    FormCreate(settings.Walk);
}

// Every control of the description in its order; the edit fields are made
// in tab order, since the dialog keys move the focus in creation order.
void TfrmStartup::BuildControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    std::vector<const ControlDescription*> fields;
    for (const ControlDescription& row : StartupFormControls()) {
        Control control;
        control.row = &row;
        control.rect = {row.left, row.top, row.left + row.width, row.top + row.height};
        switch (row.kind) {
            case ControlKind::Image:
                if (HBITMAP bitmap = ArtworkBitmap(row.text); bitmap != nullptr) {
                    BITMAP size{};
                    GetObjectW(bitmap, sizeof size, &size);
                    if (row.width == kSizedToContent) control.rect.right = row.left + size.bmWidth;
                    if (row.height == kSizedToContent)
                        control.rect.bottom = row.top + size.bmHeight;
                }
                break;
            case ControlKind::Label:
                control.text = Widen(row.text);
                if (row.focuses != ControlId::NoControl)
                    control.accelerator = AcceleratorOf(control.text);
                PlaceLabel(control);
                break;
            case ControlKind::Edit:
                fields.push_back(&row);
                break;
            case ControlKind::Frame:
            case ControlKind::Timer:
                break;
        }
        controls_.push_back(control);
    }
    std::sort(fields.begin(), fields.end(),
              [](auto* a, auto* b) { return a->tabOrder < b->tabOrder; });
    for (const ControlDescription* row : fields) {
        Control& control = Find(row->id);
        control.edit = CreateWindowExW(
            0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL,
            row->left, row->top, row->width, row->height, window_, nullptr, instance, nullptr);
        SendMessageW(control.edit, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
}

// A label sized to its text takes the text's width.
void TfrmStartup::PlaceLabel(Control& control) const {
    if (control.row->width != kSizedToContent) return;
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, (control.row->style & kBold) != 0 ? boldFont_ : font_);
    RECT measured{0, 0, 0, 0};
    DrawTextW(screen, control.text.c_str(), static_cast<int>(control.text.size()), &measured,
              LabelFormat(*control.row) | DT_CALCRECT);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    control.rect.right = control.rect.left + measured.right;
}

TfrmStartup::Control& TfrmStartup::Find(ControlId id) {
    return *std::find_if(controls_.begin(), controls_.end(),
                         [id](const Control& control) { return control.row->id == id; });
}

std::string TfrmStartup::FieldText(ControlId field) {
    HWND edit = Find(field).edit;
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void TfrmStartup::SetFieldText(ControlId field, const std::string& text) {
    SetWindowTextW(Find(field).edit, Widen(text).c_str());
}

void TfrmStartup::ShowFirst() {
    RECT frame{};
    GetWindowRect(window_, &frame);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, presenter_.StartsMinimized() ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    UpdateWindow(window_);
}

bool TfrmStartup::TakeAccelerator(const MSG& message) {
    if (message.message != WM_SYSCHAR) return false;
    const auto letter = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(message.wParam)));
    for (const Control& control : controls_) {
        if (control.accelerator == 0 || control.accelerator != letter) continue;
        const Control& field = Find(control.row->focuses);
        if (field.enabled) SetFocus(field.edit);
        return true;
    }
    return false;
}

void TfrmStartup::SetControlEnabled(ControlId id, bool enabled) {
    Control& control = Find(id);
    control.enabled = enabled;
    if (control.edit != nullptr) EnableWindow(control.edit, enabled ? TRUE : FALSE);
    InvalidateRect(window_, &control.rect, FALSE);
}

void TfrmStartup::ShowStatus(const std::string& narrow) {
    Control& status = Find(ControlId::lbStatus);
    const std::wstring text = Widen(narrow);
    if (text == status.text) return;
    RECT before = status.rect;
    status.text = text;
    PlaceLabel(status);
    RECT changed{};
    UnionRect(&changed, &before, &status.rect);
    InvalidateRect(window_, &changed, FALSE);
}

const TfrmStartup::Control* TfrmStartup::HandControlAt(POINT point) const {
    for (const Control& control : controls_) {
        if ((control.row->style & kHandCursor) != 0 && PtInRect(&control.rect, point)) {
            return &control;
        }
    }
    return nullptr;
}

// Paints into a bitmap first and then at once, so that nothing flickers.
void TfrmStartup::Paint(HDC target) const {
    const FormProperties& properties = StartupFormProperties();
    HDC canvas = CreateCompatibleDC(target);
    HBITMAP surface =
        CreateCompatibleBitmap(target, properties.clientWidth, properties.clientHeight);
    HGDIOBJ oldSurface = SelectObject(canvas, surface);
    HBRUSH background = CreateSolidBrush(ToColorRef(properties.color));
    RECT all{0, 0, properties.clientWidth, properties.clientHeight};
    FillRect(canvas, &all, background);
    DeleteObject(background);
    SetBkMode(canvas, TRANSPARENT);

    HDC picture = CreateCompatibleDC(target);
    HPEN pen = CreatePen(PS_SOLID, 1, kFrameColor);
    for (const Control& control : controls_) {
        const RECT& r = control.rect;
        switch (control.row->kind) {
            case ControlKind::Image: {
                HBITMAP bitmap = ArtworkBitmap(control.row->text);
                if (bitmap == nullptr) break;
                HGDIOBJ old = SelectObject(picture, bitmap);
                BitBlt(canvas, r.left, r.top, r.right - r.left, r.bottom - r.top, picture, 0, 0,
                       SRCCOPY);
                SelectObject(picture, old);
                break;
            }
            case ControlKind::Frame: {
                HGDIOBJ oldPen = SelectObject(canvas, pen);
                HGDIOBJ oldBrush = SelectObject(canvas, GetStockObject(HOLLOW_BRUSH));
                Rectangle(canvas, r.left, r.top, r.right, r.bottom);
                SelectObject(canvas, oldBrush);
                SelectObject(canvas, oldPen);
                break;
            }
            case ControlKind::Label: {
                HGDIOBJ old =
                    SelectObject(canvas, (control.row->style & kBold) != 0 ? boldFont_ : font_);
                SetTextColor(canvas, control.enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_GRAYTEXT));
                RECT place = r;
                DrawTextW(canvas, control.text.c_str(), static_cast<int>(control.text.size()),
                          &place, LabelFormat(*control.row));
                SelectObject(canvas, old);
                break;
            }
            case ControlKind::Edit:
            case ControlKind::Timer:
                break;
        }
    }
    DeleteObject(pen);
    DeleteDC(picture);

    BitBlt(target, 0, 0, properties.clientWidth, properties.clientHeight, canvas, 0, 0, SRCCOPY);
    SelectObject(canvas, oldSurface);
    DeleteObject(surface);
    DeleteDC(canvas);
}

LRESULT CALLBACK TfrmStartup::WindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<TfrmStartup*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TfrmStartup*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) return DefWindowProcW(window, message, w, l);
    return form->Handle(message, w, l);
}

LRESULT TfrmStartup::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC target = BeginPaint(window_, &paint);
            Paint(target);
            EndPaint(window_, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // all painted in WM_PAINT
        case WM_TIMER:
            if (w == kClockTimer) tmrClockTimer();
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(l) == HTCLIENT) {
                POINT point;
                GetCursorPos(&point);
                ScreenToClient(window_, &point);
                if (HandControlAt(point) != nullptr) {
                    SetCursor(LoadCursorW(nullptr, IDC_HAND));
                    return TRUE;
                }
            }
            break;
        case WM_LBUTTONUP: {
            // Compile and Browse answer a click released over their captions.
            const POINT point{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
            for (ControlId id : {ControlId::lbCompile, ControlId::lbBrowse}) {
                const Control& label = Find(id);
                if (!label.enabled || !PtInRect(&label.rect, point)) continue;
                if (id == ControlId::lbCompile) lbCompileClick();
                if (id == ControlId::lbBrowse) lbBrowseClick();
                return 0;
            }
            break;
        }
        case WM_COMMAND:
            // Enter and Escape in a field (IDOK, IDCANCEL) do nothing.
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, w, l);
}
