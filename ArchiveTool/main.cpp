// pelorine-archive: lists, prints, extracts and verifies an archive.
#include <cstdio>
#include <string>
#include <vector>

#include "ArchiveTool/Commands.h"
#include "ArchiveTool/ToolCommandLine.h"
#include "Platform/ProgramArguments.h"
#include "Platform/StandardOutput.h"
#include "Shared/Lzo.h"
#include "Startup/Version.h"

int main(int argc, char** argv) {
    const ToolInvocation invocation = ParseToolCommandLine(platform::ProgramArguments(argc, argv));
    const ToolStreams streams;
    switch (invocation.Command) {
        case ToolCommand::Help:
            std::fputs(ToolUsage(), stdout);
            return kExitSound;
        case ToolCommand::Version:
            std::printf("pelorine-archive (%s) %s\n", kProgramName, kProgramVersion);
            return kExitSound;
        case ToolCommand::Invalid:
            std::fprintf(stderr, "pelorine-archive: %s\n%s", invocation.Error.c_str(), ToolUsage());
            return kExitUsage;
        default:
            break;
    }
    if (!LzoReady()) {
        std::fputs("pelorine-archive: the LZO library failed to initialise\n", stderr);
        return kExitProblem;
    }
    switch (invocation.Command) {
        case ToolCommand::List:
            return ListArchive(invocation.Archive, streams);
        case ToolCommand::Cat:
            // The entry's bytes exactly, whatever the system makes of text.
            platform::SetStandardOutputBinary();
            return CatEntry(invocation.Archive, invocation.Name, streams);
        case ToolCommand::Extract:
            return ExtractArchive(invocation.Archive, invocation.Folder, invocation.Overwrite,
                                  streams);
        case ToolCommand::Search:
            return SearchArchive(invocation.Archive, invocation.Words, streams);
        default:
            return VerifyArchive(invocation.Archive, streams);
    }
}
