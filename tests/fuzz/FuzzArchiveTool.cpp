// Arbitrary bytes as an archive, through every command of the archive tool:
// list, verify, cat of the first entries and extract into a scratch folder
// that is removed afterwards. None may crash, hang or write outside it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "ArchiveTool/Commands.h"
#include "tests/fuzz/FuzzArchive.h"

namespace {

// Printing every entry is the costly part; a handful covers every path of it.
constexpr uint32_t kEntriesPrinted = 16;

const ToolStreams& Sink() {
    static const ToolStreams sink{std::fopen("/dev/null", "w"), std::fopen("/dev/null", "w")};
    return sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& archive = FuzzArchivePath();
    FILE* file = std::fopen(archive.c_str(), "wb");
    if (file == nullptr) return 0;
    // An empty input may come with no buffer at all.
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;

    ListArchive(archive, Sink());
    VerifyArchive(archive, Sink());
    std::vector<std::string> names;
    if (const std::optional<LoadedArchive> loaded = LoadArchive(archive).Archive) {
        if (loaded->Entries.size() > kMaxEntries) __builtin_trap();
        for (size_t i = 0; i < loaded->Entries.size() && i < kEntriesPrinted; ++i) {
            names.emplace_back(loaded->Entries[i].Name);
        }
    }
    for (const std::string& name : names) CatEntry(archive, name, Sink());

    // The folder to extract into sits inside a parent of its own, so that a
    // write beside it would show.
    const std::filesystem::path parent = archive + ".out";
    const std::filesystem::path folder = parent / "folder";
    std::filesystem::remove_all(parent);
    ExtractArchive(archive, folder.string(), false, Sink());
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator(parent, ignored)) {
        if (item.path() != folder) __builtin_trap();
    }
    std::filesystem::remove_all(parent);
    return 0;
}
