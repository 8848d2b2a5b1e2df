// Byte-string helpers that the compiler and the server must apply alike, so
// that an entry name and a request for it are treated the same way.
#pragma once

#include <string>
#include <string_view>

// Lower-cases the ASCII capitals A to Z only; every other byte stays.
std::string AsciiLower(std::string text);

inline char LowerAsciiChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Equal in length and in every byte once ASCII capitals are lower-cased;
// letters beyond ASCII must match exactly.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// The extension of a name or path with its dot: from the last ".", provided no
// "\" or ":" follows it; empty otherwise. "/" is no separator here.
std::string ExtensionOf(const std::string& name);

// Every "\" becomes "/".
std::string BackslashesToSlashes(std::string text);
