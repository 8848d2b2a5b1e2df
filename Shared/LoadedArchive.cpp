#include "Shared/LoadedArchive.h"

#include <cerrno>
#include <utility>

LoadedArchive::~LoadedArchive() {
    if (file_ != platform::kInvalidFile) platform::CloseFile(file_);
}

LoadedArchive::LoadedArchive(LoadedArchive&& other) noexcept
    : FileSize(other.FileSize),
      IndexOffset(other.IndexOffset),
      Entries(std::move(other.Entries)),
      Names(std::move(other.Names)),
      Noticed(other.Noticed),
      file_(std::exchange(other.file_, platform::kInvalidFile)) {}

LoadedArchive& LoadedArchive::operator=(LoadedArchive&& other) noexcept {
    if (this != &other) {
        if (file_ != platform::kInvalidFile) platform::CloseFile(file_);
        FileSize = other.FileSize;
        IndexOffset = other.IndexOffset;
        Entries = std::move(other.Entries);
        Names = std::move(other.Names);
        Noticed = other.Noticed;
        file_ = std::exchange(other.file_, platform::kInvalidFile);
    }
    return *this;
}

namespace {

// The index is read in pieces of this size: an index of a quarter of a million
// records would otherwise cost over a million system calls, and a damaged
// header pointing far back must not make the whole file be held at once.
constexpr size_t kReadPiece = size_t{64} * 1024;

// Reads from the file's position to its end through `parser`; stops early once
// the table is full and it is known whether anything follows.
void ReadIndex(platform::FileHandle file, IndexParser& parser) {
    std::string pending;
    for (;;) {
        const size_t kept = pending.size();
        pending.resize(kept + kReadPiece);
        const size_t got = platform::ReadFile(file, pending.data() + kept, kReadPiece);
        pending.resize(kept + got);
        const bool atEnd = got == 0 || (parser.Full() && !pending.empty());
        pending.erase(0, parser.Parse(pending, atEnd));
        if (atEnd) return;
    }
}

}  // namespace

ArchiveLoad LoadArchive(const std::string& path, ArchiveSharing sharing) {
    ArchiveLoad load;
    const platform::FileHandle file = sharing == ArchiveSharing::Replaceable
                                          ? platform::OpenReplaceable(path)
                                          : platform::OpenForReading(path);
    if (file == platform::kInvalidFile) {
        load.ErrorNumber = errno;
        load.Error = platform::LastErrorText();
        return load;
    }
    LoadedArchive& archive = load.Archive.emplace(file);
    archive.FileSize = platform::FileSize64(file);
    IndexReport& noticed = archive.Noticed;

    std::string header(kHeaderSize, '\0');
    header.resize(platform::ReadFile(file, header.data(), header.size()));
    const IndexStart start = LocateIndex(header, archive.FileSize, noticed);
    archive.IndexOffset = start.Offset;
    if (start.Readable && platform::SeekFromStart(file, start.Offset)) {
        IndexParser parser;
        parser.Expect(
            archive.FileSize > archive.IndexOffset ? archive.FileSize - archive.IndexOffset : 0);
        ReadIndex(file, parser);
        archive.Entries = EntriesOf(parser.Take(), noticed);
    } else {
        // A seek that fails leaves the position after the header: load nothing.
        noticed.IndexOffsetOutside = !noticed.HeaderCut;
    }

    archive.Names.Build(archive.Entries);
    platform::SeekFromStart(file, 0);
    return load;
}
