// The body a request's plan answers with: had at once on the event loop when
// that is quick, or made on the site's loader pool.
#pragma once

#include <cstdint>
#include <optional>

#include "WebServer/LargeBodies.h"
#include "WebServer/ResponseBody.h"
#include "WebServer/Route.h"

// Bytes read or decompressed in well under a millisecond: what an event loop
// may read at once without holding up its other connections.
inline constexpr uint32_t kQuickLoadBytes = 256 * 1024;

// The whole body of `plan` when it needs no slow work: a Ready plan's own; for
// an entry, a body the cache or a connection holds, shared; a stored entry
// larger than kQuickLoadBytes, sent from the archive file as it goes; anything
// smaller, read here and kept in the cache. Nothing when MakeBody must make it
// (a large compressed entry, the search). Throws std::bad_alloc when memory
// runs out.
std::optional<ResponseBody> QuickBody(const RequestPlan& plan);

// Makes the body QuickBody had none for on the loader pool (a large entry
// through the site's LargeBodies). `deliver` is called exactly once, from any
// thread, with none when the body could not be made.
void MakeBody(const RequestPlan& plan, LargeBodies::Delivery deliver);

// Makes the `coding` form of `plain` (a Compress plan's body) on the site's
// loader pool, as compressing takes milliseconds: `deliver` gets it, an empty
// body when it does not shrink, or none when it could not be tried.
void MakeCompressedBody(Site& site, SharedBody plain, ContentCoding coding,
                        LargeBodies::Delivery deliver);
