#include "WebServer/ArchiveLock.h"

platform::CriticalSection& ArchiveLock = *new platform::CriticalSection;
