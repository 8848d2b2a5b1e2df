// Entry names as the archive tool shows them and as extract accepts them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The name with every byte below 0x20, the byte 0x7F and "\" written as
// \xHH (lower-case hex) and "\\"; every other byte as it is. Safe to print
// on one line of a terminal.
std::string EscapedName(std::string_view name);

// The folder levels and file name of an entry name that extract may write,
// with "\" read as "/". Empty, with `refusal` set to the reason, when the name
// is empty, absolute, holds a NUL byte, or has a segment that is empty, "."
// or "..".
std::vector<std::string> SafeSegments(std::string_view name, std::string& refusal);
