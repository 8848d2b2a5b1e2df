// Paths as the Windows file calls are given them: absolute and in the
// extended-length form ("\\?\"), which the system takes as it is written, so
// that no path fails for being longer than the 260 characters of the plain
// form. The program's own paths (those it shows) never carry the prefix.
#pragma once

#include <string>

namespace platform::windows {

// `path` (UTF-8, relative or absolute, with "/" or "\" between levels) made
// absolute against the current folder as the plain calls would, in the
// extended-length form. A path already in that form only has its "/" turned
// into "\" and its runs of separators made one. Empty for an empty path.
std::wstring SystemPath(const std::string& path);

// `name` inside the folder `folder` (a path from SystemPath), with one "\"
// between them: the extended form would not take two.
std::wstring ChildPath(const std::wstring& folder, const std::wstring& name);

}  // namespace platform::windows
