#pragma once

#include <string>

// True when the file's extension marks content that is compressed already, so
// that it is stored as it is without a compression attempt.
bool IsStoredRaw(const std::string& fileName);
