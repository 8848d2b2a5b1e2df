// The one response the server sends: status 200 and two header fields.
#pragma once

#include <string>

#include "WebServer/LoadPage.h"

// The request's own version echoed, " 200 OK", Content-Type and
// Content-Length (the body alone), the empty line, then the body. The page's
// body is moved out.
std::string BuildResponse(const std::string& version, Page& page);
