// How an archive file in a library folder is named on the web: its file name
// without the extension, as one path segment.
#pragma once

#include <string>
#include <string_view>

// The extension of archives, compared without regard to ASCII case.
inline constexpr std::string_view kArchiveExtension = ".pel";

// The first segment of the paths the library keeps for its own pages; an
// archive of that name would be hidden behind them.
inline constexpr std::string_view kReservedSegment = ".pelorine";

// Whether `fileName` ends in ".pel", in any case, with a name before it.
bool IsArchiveFileName(std::string_view fileName);

// `fileName` without its ".pel".
std::string ArchiveNameOf(std::string_view fileName);

// `name` as one URL path segment: every byte but letters, digits and "-._~"
// as %HH, so that spaces, "%", "/", "?", "#" and bytes that are not ASCII
// reach the server as they were written.
std::string PathSegmentOf(std::string_view name);
