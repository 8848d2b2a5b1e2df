// Standard output carrying bytes rather than text.
#pragma once

namespace platform {

// Makes standard output pass every byte through unchanged. Windows otherwise
// turns each "\n" into "\r\n" and would garble any file printed there.
void SetStandardOutputBinary();

}  // namespace platform
