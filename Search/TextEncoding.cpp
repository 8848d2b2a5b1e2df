#include "Search/TextEncoding.h"

#include <cstdint>

size_t Utf8SequenceLength(std::string_view text) {
    if (text.empty()) return 0;
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length;
    uint8_t low = 0x80;   // the second byte's range, narrowed against overlong
    uint8_t high = 0xBF;  // forms, surrogates and code points past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        // ASCII runs dominate page text: skip them without the decoder.
        if (static_cast<uint8_t>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        const size_t length = Utf8SequenceLength(text.substr(at));
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string AsUtf8(std::string_view text) {
    return IsValidUtf8(text) ? std::string(text) : Latin1ToUtf8(text);
}

std::string DropInvalidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const size_t length = Utf8SequenceLength(text.substr(at));
        if (length == 0) {
            ++at;
            continue;
        }
        out.append(text.substr(at, length));
        at += length;
    }
    return out;
}
