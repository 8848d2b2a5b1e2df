// The content type a page is sent with, chosen from its path's extension.
#pragma once

#include <string>

#include "WebServer/MimeTypes.h"

// The extension of `path` with its ".", or empty: from the last ".", provided
// no "\" or ":" comes after it ("/" is no separator), cut before a "?" and
// then before a "#".
std::string PageExtension(const std::string& path);

// The content type of `extension`, compared without regard to ASCII case with a
// fixed table; "*/*" for any extension the table lacks, the empty one included.
const char* ContentTypeOf(const std::string& extension);

// As above; an extension the table lacks then takes the type that `standard`
// names for it, and "*/*" only when it names none. The empty extension, and
// every extension of the table, keep their fixed types.
const char* ContentTypeOf(const std::string& extension, const MimeTypeTable& standard);
