#include <algorithm>
#include <optional>
#include <string>
#include <thread>

#include "ArchiveTool/Commands.h"
#include "ArchiveTool/EntryNames.h"
#include "ArchiveTool/OpenArchive.h"
#include "Search/ArchiveSource.h"
#include "Search/SiteSearch.h"

int SearchArchive(const std::string& archive, const std::string& words,
                  const ToolStreams& streams) {
    const std::optional<LoadedArchive> loaded = OpenArchive(archive, streams);
    if (!loaded) return kExitProblem;
    const bool sound = IndexSound(*loaded, streams);
    const SearchSettings settings =
        CachedSearchSettings(archive, std::max(1u, std::thread::hardware_concurrency()));
    SiteSearch search(SourceOfArchive(*loaded), settings,
                      [&](const std::string& line) { ReportLine(streams.err, line); });
    search.Start();
    search.WaitUntilSettled();
    const SearchAnswer answer = search.AskAll(words);
    if (answer.State != IndexState::Ready) {
        ReportLine(streams.err, "the search index could not be built");
        return kExitProblem;
    }
    std::string lines;
    // Names are escaped as list shows them, so that each hit stays one line;
    // a page without a title is shown by its name.
    for (const SearchHit& hit : answer.Hits) {
        const std::string name = EscapedName(hit.Path);
        lines += name + '\t' + (hit.Title == hit.Path ? name : hit.Title) + '\n';
    }
    if (std::fwrite(lines.data(), 1, lines.size(), streams.out) != lines.size() ||
        std::fflush(streams.out) != 0) {
        ReportLine(streams.err, "cannot write the results: " + platform::LastErrorText());
        return kExitProblem;
    }
    return sound ? kExitSound : kExitProblem;
}
