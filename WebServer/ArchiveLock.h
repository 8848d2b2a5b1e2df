// The lock around every seek-and-read of the shared ArchiveHandle: connection
// threads share its one file position.
#pragma once

#include "Platform/Thread.h"

// Never freed: connection threads are never joined and may still take it while
// the process exits.
extern platform::CriticalSection& ArchiveLock;
