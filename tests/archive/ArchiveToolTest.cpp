// pelorine-archive as a user meets it: the real program run on archives the
// real compiler wrote, or on archives built byte by byte to be hostile or
// damaged. Checked: exit statuses, the lines reported, and the files written.
#include <gtest/gtest.h>
#include <lzo/lzo1x.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "tests/archive/CompileHelpers.h"
#include "tests/support/TestFiles.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The command that runs the tool: this build's program, or the one
// PELORINE_ARCHIVE_TOOL_COMMAND names (such as "wine .../pelorine-archive.exe").
std::string ToolCommand() {
    const char* command = std::getenv("PELORINE_ARCHIVE_TOOL_COMMAND");
    return command != nullptr ? command : Quoted(PELORINE_ARCHIVE_TOOL_PATH);
}

ToolRun RunTool(const TempDir& dir, const std::string& arguments) {
    ToolRun run;
    const std::string errFile = dir / "tool-stderr";
    run.status = RunCommand(ToolCommand() + " " + arguments + " 2>" + Quoted(errFile), &run.out);
    run.err = ReadBytes(errFile);
    return run;
}

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Every regular file below `root`, by its path relative to it.
std::map<std::string, std::string> FilesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file() && !item.is_symlink()) {
            files[fs::relative(item.path(), root).string()] = ReadBytes(item.path().string());
        }
    }
    return files;
}

// An archive of the given entries, each stored as given: `stored` is what
// stands in the data area, `packed` the PackedSize recorded.
struct RawEntry {
    std::string name;
    std::string stored;
    uint32_t unpacked;
    uint32_t packed = 0;
};

std::string BuildArchive(const std::vector<RawEntry>& entries) {
    std::string data;
    std::string index;
    for (const RawEntry& entry : entries) {
        index += Record(entry.unpacked, entry.packed, static_cast<uint32_t>(4 + data.size()),
                        entry.name);
        data += entry.stored;
    }
    return U32(static_cast<uint32_t>(4 + data.size())) + data + index;
}

RawEntry RawFile(const std::string& name, const std::string& content) {
    return {name, content, static_cast<uint32_t>(content.size())};
}

RawEntry CompressedFile(const std::string& name, const std::string& content) {
    std::string stream(content.size() + content.size() / 16 + 64 + 3, '\0');
    std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS);
    lzo_uint length = 0;
    lzo1x_1_compress(reinterpret_cast<const unsigned char*>(content.data()), content.size(),
                     reinterpret_cast<unsigned char*>(stream.data()), &length, work.data());
    stream.resize(length);
    return {name, stream, static_cast<uint32_t>(content.size()), static_cast<uint32_t>(length)};
}

TEST(ArchiveTool, RoundTripGivesBackEveryFileByteForByte) {
    TempDir dir;
    const std::string tree = dir / "tree";
    WriteBytes(tree + "/empty.txt", "");
    WriteBytes(tree + "/.hidden", "dot file");
    WriteBytes(tree + "/.config/settings", "hidden folder");
    WriteBytes(tree + "/name with spaces.html", "<p>spaces</p>");
    WriteBytes(tree + "/a/b/c/d/e/f/g/h/deep.css", CompressibleText(5000));
    WriteBytes(tree + "/large/big.bin", RandomBytes(1536 * 1024));
    WriteBytes(tree + "/large/big.txt", CompressibleText(3 * 1024 * 1024));
    WriteBytes(tree + "/empty/folder/none.gif", "");

    for (const std::string& source : {std::string(PELORINE_EXAMPLE_SITE), tree}) {
        SCOPED_TRACE(source);
        const std::string archive = dir / "round.pel";
        const std::string out = dir / "out";
        fs::remove_all(out);
        ASSERT_EQ(
            RunCommand(Quoted(ProgramPath()) + " --console --compile-source " + Quoted(source) +
                       " --compile-archive " + Quoted(archive) + " --compile >/dev/null 2>&1"),
            0);
        const std::map<std::string, std::string> expected = FilesBelow(source);

        const ToolRun extract = RunTool(dir, "extract " + Quoted(archive) + " " + Quoted(out));
        EXPECT_EQ(extract.status, 0) << extract.err;
        EXPECT_EQ(extract.err, "");
        EXPECT_TRUE(FilesBelow(out) == expected);

        const ToolRun list = RunTool(dir, "list " + Quoted(archive));
        EXPECT_EQ(list.status, 0);
        EXPECT_EQ(LineCount(list.out), expected.size());

        const ToolRun verify = RunTool(dir, "verify " + Quoted(archive));
        EXPECT_EQ(verify.status, 0) << verify.err;
        EXPECT_NE(verify.out.find(std::to_string(expected.size()) + " entries"), std::string::npos);

        // A second extract leaves every file alone and says so; --overwrite writes them.
        const ToolRun again = RunTool(dir, "extract " + Quoted(archive) + " " + Quoted(out));
        EXPECT_EQ(again.status, 1);
        EXPECT_EQ(LineCount(again.err), expected.size());
        const ToolRun overwrite =
            RunTool(dir, "extract --overwrite " + Quoted(archive) + " " + Quoted(out));
        EXPECT_EQ(overwrite.status, 0) << overwrite.err;
        EXPECT_TRUE(FilesBelow(out) == expected);
    }
}

TEST(ArchiveTool, CatPrintsTheEntryTheServerWouldServe) {
    TempDir dir;
    WriteBytes(dir / "a.pel", BuildArchive({CompressedFile("Docs/Page.htm", CompressibleText(900)),
                                            RawFile("docs/page.htm", "shadowed")}));
    const ToolRun found = RunTool(dir, "cat " + Quoted(dir / "a.pel") + " '\\docs\\PAGE.htm/'");
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.out, CompressibleText(900));

    const ToolRun missing = RunTool(dir, "cat " + Quoted(dir / "a.pel") + " docs/other.htm");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(LineCount(missing.err), 1u);
}

TEST(ArchiveTool, ExtractNeverWritesOutsideTheFolder) {
    TempDir dir;
    const std::string folder = dir / "folder";
    const std::string outside = dir / "outside";
    fs::create_directories(folder);
    fs::create_directories(outside);
    fs::create_symlink(outside, folder + "/link");
    WriteBytes(outside + "/kept", "outside");

    const std::vector<std::string> hostile = {
        "../x",
        "a/../../x",
        outside + "/absolute",
        "..\\x",
        "a//b",
        "./c",
        std::string("nul\0x", 5),
        "",
        "ends-in/",
        "link/planted",
        "link",
        "sound.txt",
    };
    std::vector<RawEntry> entries;
    for (const std::string& name : hostile) entries.push_back(RawFile(name, "hostile"));
    entries.insert(entries.begin(), RawFile("sound.txt", "first"));
    entries.push_back(RawFile("sub\\dir\\sound.txt", "second"));
    WriteBytes(dir / "hostile.pel", BuildArchive(entries));

    const ToolRun run =
        RunTool(dir, "extract " + Quoted(dir / "hostile.pel") + " " + Quoted(folder));
    EXPECT_EQ(run.status, 1);
    // One line per refused name; "link" already exists and is left alone; the
    // second "sound.txt" is a duplicate.
    EXPECT_EQ(LineCount(run.err), hostile.size()) << run.err;
    EXPECT_TRUE(FilesBelow(outside) == (std::map<std::string, std::string>{{"kept", "outside"}}));
    EXPECT_TRUE(fs::is_symlink(folder + "/link"));
    EXPECT_TRUE(FilesBelow(folder) ==
                (std::map<std::string, std::string>{{"sound.txt", "first"},
                                                    {"sub/dir/sound.txt", "second"}}));
    EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST(ArchiveTool, VerifyReportsEachKindOfDamage) {
    const std::string sound = BuildArchive(
        {CompressedFile("index.html", CompressibleText(4000)), RawFile("logo.png", "PNG")});
    RawEntry trailing = CompressedFile("t.html", CompressibleText(4000));
    trailing.stored += "!";
    ++trailing.packed;
    RawEntry garbled = CompressedFile("g.html", CompressibleText(4000));
    garbled.stored[garbled.stored.size() / 2] ^= 0x55;
    std::string tooMany = U32(4);
    for (uint32_t i = 0; i <= kMaxEntries; ++i) tooMany += Record(0, 0, 4, "");
    std::string outsideData = sound;
    outsideData.replace(outsideData.size() - 8 - 4, 4, U32(1000));  // logo.png's DataOffset

    struct Case {
        const char* damage;
        std::string archive;
        const char* reported;
    };
    const std::vector<Case> cases = {
        {"header cut", std::string("\x04\x00", 2), "shorter than its 4-byte header"},
        {"IndexOffset outside", U32(1000) + "data", "outside the file"},
        {"record cut", sound + U32(3) + "\x01\x02", "cut short"},
        {"name cut", sound + Record(0, 0, 4, "name").substr(0, 17), "cut short"},
        {"too many records", tooMany, "more records"},
        {"outside the data area", outsideData, "outside the data area"},
        {"stream not used whole", BuildArchive({trailing}), "does not decompress"},
        {"stream garbled", BuildArchive({garbled}), "does not decompress"},
        {"unsafe name", BuildArchive({RawFile("../up", "x")}), "refuses its name"},
    };
    TempDir dir;
    WriteBytes(dir / "sound.pel", sound);
    const ToolRun passed = RunTool(dir, "verify " + Quoted(dir / "sound.pel"));
    EXPECT_EQ(passed.status, 0) << passed.err;
    EXPECT_EQ(passed.out, "2 entries, 1 compressed, 1 raw, 0 problems\n");
    // A summary that cannot be written is no pass.
    const ToolRun unwritten = RunTool(dir, "verify " + Quoted(dir / "sound.pel") + " >/dev/full");
    EXPECT_EQ(unwritten.status, 1);
    EXPECT_NE(unwritten.err.find("cannot write the summary"), std::string::npos);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        WriteBytes(dir / "damaged.pel", c.archive);
        const ToolRun run = RunTool(dir, "verify " + Quoted(dir / "damaged.pel"));
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.reported), std::string::npos) << run.err;
    }

    // Names equal but for letter case are noted, not counted as damage.
    WriteBytes(dir / "shadow.pel", BuildArchive({RawFile("A.txt", "a"), RawFile("a.txt", "b")}));
    const ToolRun shadowed = RunTool(dir, "verify " + Quoted(dir / "shadow.pel"));
    EXPECT_EQ(shadowed.status, 0);
    EXPECT_NE(shadowed.err.find("shadowed"), std::string::npos);
}

TEST(ArchiveTool, ADamagedIndexNeverPassesForSuccess) {
    TempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);  // search keeps its index there
    const std::string sound = BuildArchive({RawFile("a.txt", "a")});
    // A header only, an IndexOffset past the end, and a last record cut short.
    for (const std::string& archive :
         {std::string("\x04\x00", 2), U32(1000) + "data", sound + U32(3)}) {
        WriteBytes(dir / "damaged.pel", archive);
        fs::remove_all(dir / "out");
        for (const std::string command : {"list", "extract", "search"}) {
            SCOPED_TRACE(command + " on " + std::to_string(archive.size()) + " bytes");
            const std::string extra = command == "extract"  ? Quoted(dir / "out")
                                      : command == "search" ? "a"
                                                            : "";
            const ToolRun run =
                RunTool(dir, command + " " + Quoted(dir / "damaged.pel") + " " + extra);
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.err.find("damaged: "), std::string::npos) << run.err;
        }
    }
}

TEST(ArchiveTool, SearchGivesEachHitOnOneLine) {
    TempDir dir;
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);  // search keeps its index there
    WriteBytes(dir / "odd.pel", BuildArchive({RawFile("new\nline.html", "<title>Odd</title>kiwi"),
                                              RawFile("tab\tname.html", "kiwi")}));
    const ToolRun run = RunTool(dir, "search " + Quoted(dir / "odd.pel") + " kiwi");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(LineCount(run.out), 2u) << run.out;
    EXPECT_NE(run.out.find("new\\x0aline.html\tOdd\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("tab\\x09name.html\ttab\\x09name.html\n"), std::string::npos) << run.out;
}

TEST(ArchiveTool, RepackKeepsTheEntriesAndNeverCostsTheInput) {
    TempDir dir;
    // Compressed, raw by extension, raw but compressible, raw because nothing
    // shrinks it, empty, and names equal but for case, in that order.
    const std::string input = BuildArchive({
        CompressedFile("index.html", CompressibleText(40000)),
        RawFile("img/logo.PNG", CompressibleText(3000)),
        RawFile("notes.txt", CompressibleText(5000)),
        RawFile("noise.bin", RandomBytes(2000)),
        RawFile("empty.css", ""),
        RawFile("A.txt", "a"),
        RawFile("a.txt", "b"),
    });
    const std::string in = dir / "in.pel";
    WriteBytes(in, input);
    const std::string listed = RunTool(dir, "list " + Quoted(in)).out;
    const std::string expectedStorage[] = {"lzo", "raw", "lzo", "raw", "raw", "raw", "raw"};
    RunTool(dir, "extract " + Quoted(in) + " " + Quoted(dir / "from-in"));

    for (const char* level : {"", "--level fast ", "--level best "}) {
        SCOPED_TRACE(level);
        const std::string out = dir / "out.pel";
        const ToolRun repack =
            RunTool(dir, "repack " + std::string(level) + Quoted(in) + " " + Quoted(out));
        EXPECT_EQ(repack.status, 0) << repack.err;
        EXPECT_EQ(ReadBytes(in), input);
        EXPECT_FALSE(fs::exists(out + ".partial"));
        const ToolRun verify = RunTool(dir, "verify " + Quoted(out));
        EXPECT_EQ(verify.status, 0) << verify.err;
        // The same names and sizes in the same order, each stored as a compile would.
        const std::string list = RunTool(dir, "list " + Quoted(out)).out;
        std::istringstream lines(list), before(listed);
        std::string line, old;
        for (const std::string& storage : expectedStorage) {
            std::getline(lines, line);
            std::getline(before, old);
            EXPECT_EQ(line.substr(0, line.find('\t')), old.substr(0, old.find('\t')));
            EXPECT_NE(line.find("\t" + storage + "\t"), std::string::npos) << line;
            EXPECT_EQ(line.substr(line.rfind('\t')), old.substr(old.rfind('\t')));
        }
        EXPECT_EQ(LineCount(list), LineCount(listed));
        fs::remove_all(dir / "from-out");
        EXPECT_EQ(RunTool(dir, "extract " + Quoted(out) + " " + Quoted(dir / "from-out")).status,
                  0);
        EXPECT_TRUE(FilesBelow(dir / "from-out") == FilesBelow(dir / "from-in"));
    }

    // Onto its input, by its name or another link to it, or where the
    // temporary file would be the input: refused, the input untouched.
    fs::create_hard_link(in, dir / "link.pel");
    WriteBytes(dir / "next.pel.partial", input);
    const std::pair<std::string, std::string> ontoItself[] = {
        {in, in}, {in, dir / "link.pel"}, {dir / "next.pel.partial", dir / "next.pel"}};
    for (const auto& [from, to] : ontoItself) {
        SCOPED_TRACE(to);
        const ToolRun refused = RunTool(dir, "repack " + Quoted(from) + " " + Quoted(to));
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("onto itself"), std::string::npos) << refused.err;
        EXPECT_EQ(ReadBytes(from), input);
    }

    // Damaged entries: each reported, and nothing written.
    RawEntry garbled = CompressedFile("g.html", CompressibleText(4000));
    garbled.stored[garbled.stored.size() / 2] ^= 0x55;
    RawEntry cut = CompressedFile("cut.html", CompressibleText(4000));
    cut.stored.pop_back();
    WriteBytes(dir / "damaged.pel", BuildArchive({garbled, RawFile("fine.txt", "fine"), cut}));
    const std::string out = dir / "repaired.pel";
    const ToolRun damaged =
        RunTool(dir, "repack " + Quoted(dir / "damaged.pel") + " " + Quoted(out));
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.err.find("entry 0 g.html"), std::string::npos) << damaged.err;
    EXPECT_NE(damaged.err.find("entry 2 cut.html"), std::string::npos) << damaged.err;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".partial"));
}

TEST(ArchiveTool, UsageErrorsExitWithTwo) {
    TempDir dir;
    for (const char* arguments :
         {"", "lists a.pel", "cat a.pel", "verify --overwrite a.pel", "list --force a.pel",
          "repack a.pel", "repack --level worst a.pel b.pel", "repack a.pel b.pel --level",
          "list --level best a.pel"}) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(RunTool(dir, arguments).status, 2);
    }
    EXPECT_EQ(RunTool(dir, "list " + Quoted(dir / "missing.pel")).status, 1);
    const ToolRun help = RunTool(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("extract"), std::string::npos);
}

}  // namespace
