// Limits the system sets on the process.
#pragma once

namespace platform {

// Raises the soft limit on open descriptors to the hard limit, so that a busy
// server (one descriptor per connection) is bounded by what the system allows
// rather than by a conservative default of 1,024. False when it could not.
bool RaiseDescriptorLimit();

}  // namespace platform
