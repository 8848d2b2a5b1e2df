#include "ArchiveTool/EntryProblem.h"

const char* EntryProblemText(EntryReadResult result) {
    switch (result) {
        case EntryReadResult::Read:
            return "sound";
        case EntryReadResult::NotBacked:
            return "its recorded sizes lie outside the archive";
        case EntryReadResult::ShortRead:
            return "the archive ends inside its stored bytes";
        case EntryReadResult::StreamDamaged:
            return "its stream does not decompress to exactly its size";
    }
    return "unreadable";
}
