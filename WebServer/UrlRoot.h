// The path under which the server answers (--browse-url-root), so that a
// reverse proxy can put it beside other sites: "/docs" answers "/docs/...".
#pragma once

#include <optional>
#include <string>

// The longest root taken: far more than any site's path prefix.
inline constexpr size_t kMaxUrlRootLength = 256;

// The root `value` names, as "/a/b" without a final "/"; "" for "/" (the
// whole server, as without the option). Nothing for a value the server could
// not match plainly: one that does not start with "/", is longer than
// kMaxUrlRootLength, has an empty, "." or ".." segment, or holds "%" (so no
// "%2e%2e" either), "?", "#", "\", a space or a control byte.
std::optional<std::string> UrlRootOf(const std::string& value);

// The request path with `root` taken off its front, "/" kept: for root "/docs",
// "/docs/a.html" is "/a.html" and "/docs/" is "/". Nothing when the path is
// not under the root ("/docs" itself, "/docsx/", "/other/docs/"). Compared
// byte for byte, as a proxy's location is; "" as root takes every path.
std::optional<std::string> PathUnderRoot(const std::string& path, const std::string& root);
