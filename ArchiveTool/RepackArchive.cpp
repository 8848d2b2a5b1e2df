#include <vector>

#include "ArchiveTool/Commands.h"
#include "ArchiveTool/EntryNames.h"
#include "ArchiveTool/EntryProblem.h"
#include "ArchiveTool/OpenArchive.h"
#include "Compiler/CompileThread.h"
#include "Compiler/CompressContent.h"
#include "Compiler/IsStoredRaw.h"
#include "Platform/File.h"
#include "Shared/ArchiveWriter.h"
#include "Shared/ReadEntry.h"

namespace {

// The part of an entry name after its last "/": the file name the compile
// judged by its extension.
std::string BareName(std::string_view name) {
    const size_t slash = name.rfind('/');
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

class Repacking {
  public:
    Repacking(const LoadedArchive& input, platform::FileHandle file, CompileLevel level,
              const ToolStreams& streams)
        : input_(input), output_(file), level_(level), streams_(streams) {}

    // Writes every entry of the input, in order, recompressed, then the index
    // and the header. Stops at the first write that fails; goes on past an
    // entry that cannot be read, to report every one.
    void RepackAll() {
        const auto count = static_cast<uint32_t>(input_.Entries.size());
        output_.Reserve(count);
        for (uint32_t i = 0; i < count && !output_.Failed(); ++i) Repack(i);
        if (problems_ == 0) output_.Finish();
        if (output_.Failed()) writeError_ = output_.Error();
    }

    uint32_t Problems() const { return problems_; }
    // Why the new archive could not be written; empty when it could.
    const std::string& WriteError() const { return writeError_; }

  private:
    void Repack(uint32_t index) {
        const EntryView entry = input_.Entries[index];
        const EntryReadResult read = ReadEntry(input_.File(), input_.FileSize, entry, content_);
        if (read != EntryReadResult::Read) {
            ++problems_;
            std::fprintf(streams_.err, "damaged: entry %u %s: %s\n", index,
                         EscapedName(entry.Name).c_str(), EntryProblemText(read));
            return;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(content_.data());
        const auto size = static_cast<uint32_t>(content_.size());
        // The same choice the compile makes for a file of this name and content.
        const uint32_t packed =
            IsStoredRaw(BareName(entry.Name)) ? 0 : CompressContent(bytes, size, level_, buffers_);
        const unsigned char* stored = packed != 0 ? buffers_.output.Data() : bytes;
        const uint32_t storedSize = packed != 0 ? packed : size;
        TItem repacked{std::string(entry.Name), output_.WritePosition(), packed, size};
        if (uint64_t{repacked.DataOffset} + storedSize > kMaxArchiveOffset) {
            ++problems_;
            std::fprintf(streams_.err, "too large: entry %u %s: the data would pass 2 GiB\n", index,
                         EscapedName(entry.Name).c_str());
            return;
        }
        output_.Add(std::move(repacked), stored, storedSize);
    }

    const LoadedArchive& input_;
    ArchiveWriter output_;
    CompileLevel level_;
    const ToolStreams& streams_;
    CompressionBuffers buffers_;
    std::string content_;
    uint32_t problems_ = 0;
    std::string writeError_;
};

}  // namespace

int RepackArchive(const std::string& input, const std::string& output, CompileLevel level,
                  const ToolStreams& streams) {
    const std::string partial = PartialArchivePath(output);
    // Writing either would destroy the input before it is read.
    if (platform::SameFile(input, output) || platform::SameFile(input, partial)) {
        ReportLine(streams.err, "will not repack " + input + " onto itself");
        return kExitProblem;
    }
    const std::optional<LoadedArchive> loaded = OpenArchive(input, streams);
    if (!loaded || !IndexSound(*loaded, streams)) return kExitProblem;

    const platform::FileHandle file = platform::CreateExclusive(partial);
    if (file == platform::kInvalidFile) {
        ReportLine(streams.err, "cannot create " + partial + ": " + platform::LastErrorText());
        return kExitProblem;
    }
    Repacking repacking(*loaded, file, level, streams);
    repacking.RepackAll();
    std::string writeError = repacking.WriteError();
    platform::CloseFile(file);
    const bool complete = repacking.Problems() == 0 && writeError.empty();
    if (complete && !platform::ReplaceFile(partial, output)) {
        writeError = platform::LastErrorText();
    }
    if (complete && writeError.empty()) return kExitSound;
    platform::DeleteFile(partial);
    ReportLine(streams.err, writeError.empty()
                                ? "no archive written to " + output + ": " +
                                      std::to_string(repacking.Problems()) + " entries damaged"
                                : "cannot write " + output + ": " + writeError);
    return kExitProblem;
}
