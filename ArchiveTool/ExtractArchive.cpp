#include <string_view>
#include <unordered_map>

#include "ArchiveTool/Commands.h"
#include "ArchiveTool/EntryNames.h"
#include "ArchiveTool/EntryProblem.h"
#include "ArchiveTool/ExtractTarget.h"
#include "ArchiveTool/OpenArchive.h"
#include "ArchiveTool/ReadAhead.h"
#include "Shared/AnsiText.h"

namespace {

// What an extract does with one entry, decided from its name alone.
struct Plan {
    std::vector<std::string> segments;  // empty: refused, for `refusal`
    std::string refusalKind;
    std::string refusal;
};

class Extraction {
  public:
    Extraction(const LoadedArchive& archive, const std::string& folder, bool overwrite,
               const ToolStreams& streams)
        : archive_(archive), target_(folder), overwrite_(overwrite), streams_(streams) {}

    bool Opened() const { return target_.Opened(); }

    void ExtractAll() {
        const auto count = static_cast<uint32_t>(archive_.Entries.size());
        std::vector<Plan> plans(count);
        std::vector<uint32_t> toRead;
        for (uint32_t i = 0; i < count; ++i) {
            plans[i] = PlanFor(i);
            if (!plans[i].segments.empty()) toRead.push_back(i);
        }
        ReadAhead contents(archive_, std::move(toRead));
        for (uint32_t i = 0; i < count; ++i) {
            const EntryView entry = archive_.Entries[i];
            Plan& plan = plans[i];
            if (plan.segments.empty()) {
                Report(plan.refusalKind, entry, plan.refusal);
            } else {
                ReadAhead::Content content = contents.Next();
                Write(entry, plan.segments, content);
                contents.Recycle(std::move(content.bytes));
            }
            plan = Plan{};  // the names are needed no more
        }
    }

    bool AllExtracted() const { return problems_ == 0; }

  private:
    Plan PlanFor(uint32_t index) {
        const EntryView entry = archive_.Entries[index];
        Plan plan;
        plan.segments = SafeSegments(entry.Name, plan.refusal);
        if (plan.segments.empty()) {
            plan.refusalKind = "refused";
            return plan;
        }
        // The first of two entries that land on one path is the one the server
        // serves; the second is reported, not written over it.
        const auto [first, isNew] =
            claimed_.try_emplace(BackslashesToSlashes(std::string(entry.Name)), index);
        if (!isNew) {
            plan.segments.clear();
            plan.refusalKind = "duplicate";
            plan.refusal = "entry " + std::to_string(first->second) + " has the same name";
        }
        return plan;
    }

    void Write(const EntryView& entry, const std::vector<std::string>& segments,
               const ReadAhead::Content& content) {
        std::string problem;
        const platform::FolderHandle folder = target_.FolderFor(segments, problem);
        if (folder == platform::kInvalidFolder) return Report("refused", entry, problem);
        if (!overwrite_ && platform::ExistsIn(folder, segments.back())) {
            return Report("exists", entry, "left as it is");
        }
        if (content.result != EntryReadResult::Read) {
            return Report("damaged", entry, EntryProblemText(content.result));
        }
        switch (WriteEntryFile(folder, segments.back(), content.bytes, overwrite_, problem)) {
            case WriteResult::Written:
                return;
            case WriteResult::Exists:
                return Report("exists", entry, "left as it is");
            case WriteResult::Failed:
                return Report("failed", entry, problem);
        }
    }

    void Report(std::string_view kind, const EntryView& entry, const std::string& why) {
        ++problems_;
        std::fprintf(streams_.err, "%.*s: %s: %s\n", static_cast<int>(kind.size()), kind.data(),
                     EscapedName(entry.Name).c_str(), why.c_str());
    }

    const LoadedArchive& archive_;
    ExtractTarget target_;
    bool overwrite_;
    const ToolStreams& streams_;
    // Each path written, with the entry that claimed it.
    std::unordered_map<std::string, uint32_t> claimed_;
    uint32_t problems_ = 0;
};

}  // namespace

int ExtractArchive(const std::string& archive, const std::string& folder, bool overwrite,
                   const ToolStreams& streams) {
    const std::optional<LoadedArchive> loaded = OpenArchive(archive, streams);
    if (!loaded) return kExitProblem;
    Extraction extraction(*loaded, folder, overwrite, streams);
    if (!extraction.Opened()) {
        ReportLine(streams.err, "cannot open folder " + folder + ": " + platform::LastErrorText());
        return kExitProblem;
    }
    const bool sound = IndexSound(*loaded, streams);
    extraction.ExtractAll();
    return sound && extraction.AllExtracted() ? kExitSound : kExitProblem;
}
