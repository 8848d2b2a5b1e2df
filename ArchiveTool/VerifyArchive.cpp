#include "ArchiveTool/Commands.h"
#include "ArchiveTool/EntryNames.h"
#include "ArchiveTool/OpenArchive.h"
#include "Platform/File.h"
#include "Shared/ReadEntry.h"

namespace {

class Verification {
  public:
    Verification(const LoadedArchive& archive, const ToolStreams& streams)
        : archive_(archive), index_(archive.Noticed), streams_(streams) {}

    void CheckIndex() {
        const uint32_t offset = archive_.IndexOffset;
        const std::string size = " (" + std::to_string(archive_.FileSize) + " bytes)";
        if (index_.HeaderCut) return Problem("the file is shorter than its 4-byte header" + size);
        if (index_.IndexOffsetOutside) {
            Problem("IndexOffset " + std::to_string(offset) + " lies outside the file" + size);
        } else if (offset < kHeaderSize) {
            Problem("IndexOffset " + std::to_string(offset) + " lies inside the header");
        }
        if (index_.LastRecordCut)
            Problem("the last index record is cut short by the end of the file");
        if (index_.MoreRecordsThanTable) {
            Problem("the index holds more records than the " + std::to_string(kMaxEntries) +
                    " an archive can have");
        }
    }

    void CheckEntry(uint32_t index) {
        const EntryView entry = archive_.Entries[index];
        IsCompressed(entry) ? ++compressed_ : ++raw_;
        CheckName(index, entry);
        const uint64_t end = uint64_t{entry.DataOffset} + StoredSize(entry);
        if (entry.DataOffset < kHeaderSize || end > archive_.IndexOffset) {
            return EntryProblem(index, entry,
                                "its stored bytes " + std::to_string(entry.DataOffset) + " to " +
                                    std::to_string(end) + " lie outside the data area (4 to " +
                                    std::to_string(archive_.IndexOffset) + ")");
        }
        // Raw bytes inside the data area hold nothing more to check.
        if (!IsCompressed(entry)) return;
        const EntryReadResult read = ReadEntry(archive_.File(), archive_.FileSize, entry, content_);
        if (read == EntryReadResult::Read) return;
        const std::string stream = "stream of " + std::to_string(entry.PackedSize) + " bytes";
        const std::string content = std::to_string(entry.UnpackedSize) + " bytes";
        EntryProblem(index, entry,
                     read == EntryReadResult::NotBacked
                         ? "it claims " + content + " from a " + stream + ", more than any can hold"
                         : "its " + stream + " does not decompress to exactly " + content);
    }

    int Summarize() const {
        std::fprintf(streams_.out, "%u entries, %u compressed, %u raw, %u problems\n",
                     static_cast<uint32_t>(archive_.Entries.size()), compressed_, raw_, problems_);
        // A verdict that never reached its reader is no pass.
        if (std::ferror(streams_.out) != 0 || std::fflush(streams_.out) != 0) {
            ReportLine(streams_.err, "cannot write the summary: " + platform::LastErrorText());
            return kExitProblem;
        }
        return problems_ == 0 ? kExitSound : kExitProblem;
    }

  private:
    void CheckName(uint32_t index, const EntryView& entry) {
        std::string refusal;
        if (SafeSegments(entry.Name, refusal).empty()) {
            EntryProblem(index, entry, "extract refuses its name: " + refusal);
        }
        // Only the first of names equal without regard to ASCII case can be
        // served: a note, not damage.
        const uint32_t served = archive_.Names.Find(archive_.Entries, entry.Name);
        if (served < index) {
            std::fprintf(streams_.err, "shadowed: entry %u %s: entry %u %s is served instead\n",
                         index, EscapedName(entry.Name).c_str(), served,
                         EscapedName(archive_.Entries[served].Name).c_str());
        }
    }

    void Problem(const std::string& line) {
        ++problems_;
        std::fprintf(streams_.err, "%s\n", line.c_str());
    }

    void EntryProblem(uint32_t index, const EntryView& entry, const std::string& why) {
        Problem("entry " + std::to_string(index) + " " + EscapedName(entry.Name) + ": " + why);
    }

    const LoadedArchive& archive_;
    const IndexReport& index_;
    const ToolStreams& streams_;
    std::string content_;
    uint32_t compressed_ = 0;
    uint32_t raw_ = 0;
    uint32_t problems_ = 0;
};

}  // namespace

int VerifyArchive(const std::string& archive, const ToolStreams& streams) {
    const std::optional<LoadedArchive> loaded = OpenArchive(archive, streams);
    if (!loaded) return kExitProblem;
    Verification verification(*loaded, streams);
    verification.CheckIndex();
    const auto count = static_cast<uint32_t>(loaded->Entries.size());
    for (uint32_t i = 0; i < count; ++i) verification.CheckEntry(i);
    return verification.Summarize();
}
