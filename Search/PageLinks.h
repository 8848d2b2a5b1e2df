// Links between the pages of one archive: how many pages link to each is
// what the site itself says of which page is the one about a thing (the
// reference page every other page points to, rather than a tutorial's page
// of the same name).
#pragma once

#include <string>
#include <string_view>

// The name of the entry that a link `href` on the page named `pageName` goes
// to, as entry names are written ("std/io/index.html"); empty when it goes
// out of the archive (another scheme or host, or above its top) or to the
// page itself (only a "#fragment"). A folder's link goes to its
// "index.html"; no percent-decoding is done.
std::string LinkedName(std::string_view pageName, std::string_view href);
