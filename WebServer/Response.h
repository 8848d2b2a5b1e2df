// The one response the server sends: status 200 and two header fields.
#pragma once

#include <string>

#include "WebServer/LoadPage.h"

// The request's own version echoed, " 200 OK", Content-Type and
// Content-Length (the body alone), then the empty line. The page's body
// follows it on the wire, sent from where it lies.
std::string ResponseHeader(const std::string& version, const Page& page);
