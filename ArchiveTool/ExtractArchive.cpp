#include <string_view>
#include <unordered_map>

#include "ArchiveTool/Commands.h"
#include "ArchiveTool/EntryNames.h"
#include "ArchiveTool/EntryProblem.h"
#include "ArchiveTool/ExtractTarget.h"
#include "ArchiveTool/OpenArchive.h"
#include "Shared/AnsiText.h"
#include "Shared/ArchiveState.h"
#include "Shared/ReadEntry.h"

namespace {

class Extraction {
  public:
    Extraction(const std::string& folder, bool overwrite, const ToolStreams& streams)
        : target_(folder), overwrite_(overwrite), streams_(streams) {}

    bool Opened() const { return target_.Opened(); }

    void Extract(uint32_t index) {
        const TItem& entry = Archive.EntryTable[index];
        std::string refusal;
        const std::vector<std::string> segments = SafeSegments(entry.Name, refusal);
        if (segments.empty()) return Report("refused", entry, refusal);

        // The first of two entries that land on one path is the one the server
        // serves; the second is reported, not written over it.
        const auto [first, isNew] = claimed_.try_emplace(BackslashesToSlashes(entry.Name), index);
        if (!isNew) {
            return Report("duplicate", entry,
                          "entry " + std::to_string(first->second) + " has the same name");
        }

        std::string problem;
        const platform::FolderHandle folder = target_.FolderFor(segments, problem);
        if (folder == platform::kInvalidFolder) return Report("refused", entry, problem);
        if (!overwrite_ && platform::ExistsIn(folder, segments.back())) {
            return Report("exists", entry, "left as it is");
        }

        const EntryReadResult read = ReadEntry(Archive.ArchiveHandle, fileSize_, entry, content_);
        if (read != EntryReadResult::Read) return Report("damaged", entry, EntryProblemText(read));

        switch (WriteEntryFile(folder, segments.back(), content_, overwrite_, problem)) {
            case WriteResult::Written:
                return;
            case WriteResult::Exists:
                return Report("exists", entry, "left as it is");
            case WriteResult::Failed:
                return Report("failed", entry, problem);
        }
    }

    bool AllExtracted() const { return problems_ == 0; }

  private:
    void Report(std::string_view kind, const TItem& entry, const std::string& why) {
        ++problems_;
        std::fprintf(streams_.err, "%.*s: %s: %s\n", static_cast<int>(kind.size()), kind.data(),
                     EscapedName(entry.Name).c_str(), why.c_str());
    }

    ExtractTarget target_;
    bool overwrite_;
    const ToolStreams& streams_;
    const uint64_t fileSize_ = platform::FileSize64(Archive.ArchiveHandle);
    // Each path written, with the entry that claimed it.
    std::unordered_map<std::string, uint32_t> claimed_;
    // One buffer for every entry's content, grown to the largest.
    std::string content_;
    uint32_t problems_ = 0;
};

}  // namespace

int ExtractArchive(const std::string& archive, const std::string& folder, bool overwrite,
                   const ToolStreams& streams) {
    if (!OpenArchive(archive, streams)) return kExitProblem;
    Extraction extraction(folder, overwrite, streams);
    if (!extraction.Opened()) {
        ReportLine(streams.err, "cannot open folder " + folder + ": " + platform::LastErrorText());
        return kExitProblem;
    }
    for (uint32_t i = 0; i < Archive.EntryCount; ++i) extraction.Extract(i);
    return extraction.AllExtracted() ? kExitSound : kExitProblem;
}
