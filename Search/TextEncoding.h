// Page text and queries reach the index as UTF-8: pages that are not valid
// UTF-8 are read as Latin-1, and a query's stray bytes are dropped.
#pragma once

#include <string>
#include <string_view>

bool IsValidUtf8(std::string_view text);

// Every byte as the Latin-1 character of that number, in UTF-8.
std::string Latin1ToUtf8(std::string_view text);

// The text as UTF-8: unchanged when it is valid, else read as Latin-1.
std::string AsUtf8(std::string_view text);

// The valid UTF-8 sequences of `text`, every invalid byte left out.
std::string DropInvalidUtf8(std::string_view text);

// The length of the valid UTF-8 sequence at the start of `text`; 0 when the
// first byte starts none (or `text` is empty).
size_t Utf8SequenceLength(std::string_view text);
