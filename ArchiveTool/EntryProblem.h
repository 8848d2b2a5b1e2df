// Why an entry's content could not be read, in words for a report line.
#pragma once

#include "Shared/ReadEntry.h"

const char* EntryProblemText(EntryReadResult result);
