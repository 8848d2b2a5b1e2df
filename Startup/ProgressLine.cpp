#include "Startup/ProgressLine.h"

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// Narrower than the narrowest usual terminal: a line that wrapped could no
// longer be redrawn in place.
constexpr size_t kLineWidth = 79;

// Cuts `text` to at most `width` bytes without splitting a UTF-8 character.
std::string CutTo(const std::string& text, size_t width) {
    if (text.size() <= width) return text;
    size_t cut = width;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut);
}

}  // namespace

std::string ProgressLineText(uint32_t files, uint64_t bytes, double seconds,
                             const std::string& fileName, size_t width) {
    const double megabytes = static_cast<double>(bytes) / 1e6;
    const double rate = seconds > 0 ? megabytes / seconds : 0;
    char figures[96];
    const int length = std::snprintf(figures, sizeof figures, "%u files, %.1f MB, %.1f MB/s  ",
                                     files, megabytes, rate);
    if (length < 0) return "";
    const std::string head = CutTo(figures, width);  // snprintf ended it within the array
    return head + CutTo(fileName, width - head.size());
}

ProgressLine::ProgressLine(std::FILE* out, bool enabled, const CompileProgress& progress)
    : out_(out),
      enabled_(enabled),
      progress_(progress),
      start_(std::chrono::steady_clock::now()),
      nextDraw_(start_) {}

void ProgressLine::Update(bool immediately) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!immediately && now < nextDraw_) return;
    nextDraw_ = now + kRedrawInterval;
    const std::chrono::duration<double> elapsed = now - start_;
    const std::string text =
        ProgressLineText(progress_.FilesPacked, progress_.BytesPacked, elapsed.count(),
                         progress_.CurrentFileName.Get(), kLineWidth);
    // Spaces over what is left of a longer line drawn before: no terminal
    // control sequences needed.
    const size_t padding = drawnLength_ > text.size() ? drawnLength_ - text.size() : 0;
    std::fprintf(out_, "\r%s%*s", text.c_str(), static_cast<int>(padding), "");
    std::fflush(out_);
    drawnLength_ = text.size();
}

void ProgressLine::Clear() {
    if (!enabled_ || drawnLength_ == 0) return;
    std::fprintf(out_, "\r%*s\r", static_cast<int>(drawnLength_), "");
    std::fflush(out_);
    drawnLength_ = 0;
}
