#include "Search/WordsTogether.h"

#include <algorithm>
#include <bit>

namespace {

constexpr size_t kMaxAsked = 64;

}  // namespace

WordsTogether::WordsTogether(const WordSplitter& splitter, const std::vector<QueryWord>& words)
    : splitter_(splitter), words_(words) {
    for (size_t i = 0; i < words.size() && asked_.size() < kMaxAsked; ++i) {
        if (!words[i].Optional && !words[i].Word.empty()) asked_.push_back(i);
    }
    all_ = asked_.size() == kMaxAsked ? ~uint64_t{0} : (uint64_t{1} << asked_.size()) - 1;
}

// The text before the first heading is one section, and each heading begins
// the next. The title is no section's: a page named after one word of the
// query may hold the others anywhere.
bool WordsTogether::ReadEnded(std::string_view text, const std::vector<PageSection>& sections) {
    for (; sectionsRead_ < sections.size() && best_ != all_; ++sectionsRead_) {
        ReadSection(text, sections[sectionsRead_].Start);
    }
    return !asked_.empty() && best_ == all_;
}

void WordsTogether::ReadAll(std::string_view text, const std::vector<PageSection>& sections) {
    if (ReadEnded(text, sections) || sectionsRead_ > sections.size()) return;
    ReadSection(text, text.size());
    ++sectionsRead_;
}

void WordsTogether::ReadSection(std::string_view text, size_t end) {
    end = std::min(end, text.size());
    if (end < start_) return;
    uint64_t held = 0;
    splitter_.Split(text.substr(start_, end - start_), [&](const WordSplitter::Word& word) {
        for (size_t bit = 0; bit < asked_.size(); ++bit) {
            if ((held & (uint64_t{1} << bit)) == 0 && Finds(words_[asked_[bit]], word)) {
                held |= uint64_t{1} << bit;
            }
        }
        return held != all_;
    });
    inPage_ |= held;
    if (std::popcount(held) > std::popcount(best_)) {
        best_ = held;
        bestSection_ = sectionsRead_;
    }
    start_ = end;
}

size_t WordsTogether::InOneSection() const {
    return static_cast<size_t>(std::popcount(best_));
}

size_t WordsTogether::InPage() const {
    return static_cast<size_t>(std::popcount(inPage_));
}
