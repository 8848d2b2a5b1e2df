#include "Startup/ProgramInfo.h"

#include <cstdio>

#include "Startup/CommandLine.h"
#include "Startup/StatusText.h"
#include "Startup/Version.h"

const char* const kUsage =
    "usage: pelorine [--console] [--compile-source FOLDER --compile-archive FILE\n"
    "                [--compile-threads N] [--compile-level fast|best] --compile]\n"
    "                [(--browse-archive FILE | --browse-library FOLDER) --browse]\n"
    "                [--browse-memory-limit MIB]\n"
    "                [--browse-modern] [--browse-standard-types] [--browse-decode-paths]\n"
    "                [--browse-folder-index] [--browse-ranges] [--browse-validators]\n"
    "                [--browse-head] [--browse-status-codes] [--browse-search]\n"
    "                [--browse-reload] [--browse-keep-alive] [--browse-compress]\n"
    "                [--browse-url-root PATH] [--browse-access-log FILE|-]\n"
    "       pelorine --help | --version\n";

namespace {

void PrintHelp() {
    std::fputs(kUsage, stdout);
    std::printf(
        "\n"
        "Packs a folder of web files into one archive (Compile) and serves an archive\n"
        "to any web browser at %s (Browse).\n"
        "Shows a window where a display exists; otherwise runs in the console.\n"
        "\n"
        "  --compile-source FOLDER  the folder to pack\n"
        "  --compile-archive FILE   the archive to write\n"
        "  --compile-threads N      threads that read and compress, 1 to 256\n"
        "                           (default: one per processor core)\n"
        "  --compile-level fast|best  fast (the default) or best: smaller archives,\n"
        "                           compiled several times slower, read as fast\n"
        "  --compile                pack the folder into the archive\n"
        "  --browse-archive FILE    the archive to serve\n"
        "  --browse-library FOLDER  serve every archive (*.pel) in FOLDER, each\n"
        "                           under /NAME/, with a start page listing them;\n"
        "                           archives added, replaced or removed are picked\n"
        "                           up as it serves\n"
        "  --browse                 serve the archive on TCP port %u\n"
        "  --browse-memory-limit MIB  memory for large pages being decompressed or\n"
        "                           sent, 1 to %u MiB (default: %u); counts\n"
        "                           wherever it stands\n"
        "  --browse-modern          all of the --browse-... options below at once\n"
        "  --browse-standard-types  send types the fixed table lacks as /etc/mime.types\n"
        "                           names them (.svg as image/svg+xml)\n"
        "  --browse-decode-paths    try a path that finds nothing again %%HH-decoded\n"
        "  --browse-folder-index    answer a folder path (ending in /) that finds\n"
        "                           nothing with its index.html, and send a folder\n"
        "                           named without its / on to it (301)\n"
        "  --browse-ranges          answer a single byte range (Range) with 206 and\n"
        "                           that part, so browsers can seek in audio and video\n"
        "  --browse-validators      send ETag and Last-Modified, and 304 when the\n"
        "                           browser's copy is still current\n"
        "  --browse-head            answer HEAD with GET's header and no body\n"
        "  --browse-status-codes    send the not-found text with 404 and a damaged\n"
        "                           entry's text with 500\n"
        "  --browse-search          find pages by their words at /.pelorine/search\n"
        "                           (index kept in the user's cache folder); in a\n"
        "                           library, across every archive\n"
        "  --browse-reload          serve the archive anew once a compile replaces\n"
        "                           it (a library always does)\n"
        "  --browse-keep-alive      keep HTTP/1.1 connections open for the next\n"
        "                           request (closed after 5 s idle)\n"
        "  --browse-compress        send text compressed (brotli or gzip) to\n"
        "                           browsers that take it\n"
        "  --browse-url-root PATH   serve the site under PATH/ (such as /docs/), for\n"
        "                           a reverse proxy; not part of --browse-modern\n"
        "  --browse-access-log FILE  append a line per response to FILE (- for\n"
        "                           standard output) in the combined log format,\n"
        "                           reopened on SIGHUP; not part of --browse-modern\n"
        "  --console                run without a window even where a display exists\n"
        "  --help                   print this help and exit\n"
        "  --version                print the program's name and version and exit\n"
        "\n"
        "Options are read left to right; an action takes the paths given before it,\n"
        "and one run performs one action. The --browse-... options from\n"
        "--browse-modern on are off unless given and count wherever they stand, as\n"
        "--compile-level does.\n"
        "Exit status: 0 done, 1 failed (the reason on standard error), 2 no action\n"
        "or a usage error.\n"
        "See also: man pelorine\n",
        kStartPageUrl.c_str(), unsigned{kServerPort}, unsigned{kMaxBrowseMemoryLimitMiB},
        unsigned{kDefaultBrowseMemoryLimitMiB});
}

}  // namespace

std::optional<int> RefuseUsageError(const StartupSettings& settings) {
    std::string error = settings.BadBrowseValue;
    if (settings.LevelUnusable) error = "--compile-level takes fast or best";
    if (error.empty()) return std::nullopt;
    std::fprintf(stderr, "pelorine: %s\n%s", error.c_str(), kUsage);
    return 2;
}

std::optional<int> AnswerInfoOption(const StartupSettings& settings) {
    switch (settings.Info) {
        case InfoRequest::Help:
            PrintHelp();
            return 0;
        case InfoRequest::Version:
            std::printf("%s %s\n", kProgramName, kProgramVersion);
            return 0;
        case InfoRequest::None:
            break;
    }
    return std::nullopt;
}
