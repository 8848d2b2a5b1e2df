// What the Windows layer promises beyond the plain calls: share modes, the
// signed 32-bit seek, full folder listings with UTF-8 names, walks that do not
// loop through junctions, exclusive ports, handles kept from children, and
// paths of any length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "Platform/ErrorText.h"
#include "Platform/File.h"
#include "Platform/FolderEnumeration.h"
#include "Platform/Socket.h"
#include "Platform/windows/SystemPath.h"
#include "Platform/windows/Windows.h"
#include "Platform/windows/WindowsText.h"
// After <windows.h>, which they need.
#include <winioctl.h>
#include <winsock2.h>

namespace fs = std::filesystem;

namespace {

class Scratch : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("pelorine-" + std::to_string(GetCurrentProcessId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    // A path below the scratch folder, in UTF-8 as the program holds it.
    std::string Path(const std::string& relative) const {
        return platform::windows::Narrow((root_ / fs::u8path(relative)).wstring());
    }
    void Write(const std::string& relative, const std::string& bytes) const {
        const platform::FileHandle file = platform::CreateExclusive(Path(relative));
        ASSERT_NE(file, platform::kInvalidFile) << relative;
        EXPECT_EQ(platform::WriteFile(file, bytes.data(), bytes.size()), bytes.size());
        platform::CloseFile(file);
    }
    std::string Read(const std::string& relative) const {
        const platform::FileHandle file = platform::OpenForReading(Path(relative));
        if (file == platform::kInvalidFile) return "(unreadable)";
        std::string bytes(static_cast<size_t>(platform::FileSize64(file)), '\0');
        bytes.resize(platform::ReadFile(file, bytes.data(), bytes.size()));
        platform::CloseFile(file);
        return bytes;
    }

    fs::path root_;
};

using Files = Scratch;
using Folders = Scratch;

TEST_F(Files, ReadersShareOnlyWithReadersAndAServedFileIsNeverReplaced) {
    Write("archive.pel", "served");
    const platform::FileHandle writer = platform::CreateExclusive(Path("partial"));
    ASSERT_NE(writer, platform::kInvalidFile);
    EXPECT_EQ(platform::OpenForReading(Path("partial")), platform::kInvalidFile)
        << "a file being written is no one's to read";
    platform::CloseFile(writer);

    const platform::FileHandle first = platform::OpenForReading(Path("archive.pel"));
    const platform::FileHandle second = platform::OpenForReading(Path("archive.pel"));
    ASSERT_NE(first, platform::kInvalidFile);
    ASSERT_NE(second, platform::kInvalidFile);
    EXPECT_EQ(platform::CreateExclusive(Path("archive.pel")), platform::kInvalidFile);
    EXPECT_FALSE(platform::ReplaceFile(Path("partial"), Path("archive.pel")));
    EXPECT_NE(platform::LastErrorText().find("in use by another program"), std::string::npos)
        << platform::LastErrorText();
    platform::CloseFile(first);
    platform::CloseFile(second);
    EXPECT_EQ(Read("archive.pel"), "served");
}

TEST_F(Files, AFileHasOneIdentityByPathOrByHandle) {
    Write("archive.pel", "old");
    Write("other.pel", "other");
    platform::FileIdentity byPath, byHandle, other;
    ASSERT_TRUE(platform::IdentityAt(Path("archive.pel"), byPath));
    uint64_t size = 0;
    const platform::FileHandle file =
        platform::OpenForReading(Path("archive.pel"), &size, &byHandle);
    ASSERT_NE(file, platform::kInvalidFile);
    platform::CloseFile(file);
    EXPECT_EQ(size, 3u);
    EXPECT_TRUE(byPath == byHandle);
    ASSERT_TRUE(platform::IdentityAt(Path("other.pel"), other));
    EXPECT_FALSE(other == byPath);
    EXPECT_FALSE(platform::IdentityAt(Path("missing.pel"), other));
}

TEST_F(Files, SeeksStopBelowTwoGibibytesLeavingThePosition) {
    Write("data", "0123456789");
    const platform::FileHandle file = platform::OpenForReading(Path("data"));
    ASSERT_NE(file, platform::kInvalidFile);
    EXPECT_TRUE(platform::SeekFromStart(file, 4));
    EXPECT_TRUE(platform::SeekFromStart(file, 0x7FFFFFFF));
    EXPECT_TRUE(platform::SeekFromStart(file, 4));
    EXPECT_FALSE(platform::SeekFromStart(file, 0x80000000u));
    EXPECT_FALSE(platform::SeekFromStart(file, 0xFFFFFFFFu));
    char bytes[2] = {};
    EXPECT_EQ(platform::ReadFile(file, bytes, 2), 2u);
    EXPECT_EQ(std::string(bytes, 2), "45");
    platform::CloseFile(file);
}

TEST_F(Folders, ListEveryEntryWithItsUtf8Name) {
    const std::string accented =
        "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.html";  // été 日本.html
    Write("plain.txt", "a");
    Write(".dotted", "b");
    Write("hidden.txt", "c");
    Write(accented, "d");
    fs::create_directory(root_ / "sub");
    SetFileAttributesW(platform::windows::Widen(Path("hidden.txt")).c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    std::set<std::string> files;
    std::set<std::string> folders;
    platform::FolderEnumeration listing(Path(""));
    ASSERT_TRUE(listing.IsOpen());
    platform::FolderEntry entry;
    while (listing.Next(entry)) (entry.isFolder ? folders : files).insert(entry.name);
    EXPECT_EQ(files, (std::set<std::string>{"plain.txt", ".dotted", "hidden.txt", accented}));
    EXPECT_EQ(folders, (std::set<std::string>{".", "..", "sub"}));
    EXPECT_EQ(Read(accented), "d");
}

// A junction `link` to `target`, as mklink /J makes it.
bool MakeWindowsJunction(const std::wstring& link, const std::wstring& target) {
    if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
    HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const std::wstring substitute = L"\\??\\" + target;
    // REPARSE_DATA_BUFFER's mount-point form: two names, each ending in a NUL.
    const size_t nameBytes = (substitute.size() + 1 + target.size() + 1) * sizeof(wchar_t);
    std::string buffer(8 + 8 + nameBytes, '\0');
    auto put16 = [&](size_t at, size_t value) {
        buffer[at] = static_cast<char>(value & 0xFF);
        buffer[at + 1] = static_cast<char>(value >> 8);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(buffer.data(), &tag, 4);
    put16(4, 8 + nameBytes);                               // data length
    put16(8, 0);                                           // substitute name offset
    put16(10, substitute.size() * sizeof(wchar_t));        // its length
    put16(12, (substitute.size() + 1) * sizeof(wchar_t));  // print name offset
    put16(14, target.size() * sizeof(wchar_t));            // its length
    std::memcpy(buffer.data() + 16, substitute.c_str(), substitute.size() * sizeof(wchar_t));
    std::memcpy(buffer.data() + 16 + (substitute.size() + 1) * sizeof(wchar_t), target.c_str(),
                target.size() * sizeof(wchar_t));
    DWORD returned = 0;
    const BOOL made =
        DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                        static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(handle);
    return made != 0;
}

// Wine cannot make junctions; its folders are Linux folders, where a link
// looks to the program as a junction does. Such links are made and removed
// by Linux's own programs, which Wine starts with "start /unix".
std::string UnixName(const std::wstring& path) {
    using Lookup = char*(CDECL*)(const wchar_t*);
    const auto lookup = reinterpret_cast<Lookup>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (lookup == nullptr) return {};
    char* name = lookup(path.c_str());
    if (name == nullptr) return {};
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool RunOnLinux(const std::vector<std::string>& command) {
    std::string line = "start.exe /wait /unix";
    for (const std::string& argument : command) line += " \"" + argument + "\"";
    std::wstring commandLine = platform::windows::Widen(line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    DWORD status = 1;
    const bool ended = WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return ended && status == 0;
}

bool MakeLinuxLink(const std::wstring& link, const std::wstring& target) {
    // The link does not exist yet: name its folder, then add its own name.
    const size_t cut = link.find_last_of(L'\\');
    const std::string folder = UnixName(link.substr(0, cut));
    const std::string unixTarget = UnixName(target);
    if (folder.empty() || unixTarget.empty()) return false;
    if (!RunOnLinux({"/bin/ln", "-s", unixTarget,
                     folder + "/" + platform::windows::Narrow(link.substr(cut + 1))})) {
        return false;
    }
    // "start /wait" may return before a Linux program is done.
    for (int wait = 0; wait < 100; ++wait) {
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(50);
    }
    return false;
}

// Removes a link made by MakeJunction, whichever way it was made.
bool RemoveLink(const std::wstring& link) {
    if (RemoveDirectoryW(link.c_str())) return true;
    const std::string name = UnixName(link);
    return !name.empty() && RunOnLinux({"/bin/rm", "-f", name});
}

bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (MakeWindowsJunction(link, target)) return true;
    RemoveDirectoryW(link.c_str());
    return MakeLinuxLink(link, target);
}

// Every file below `folder`, as the compile's walk finds them: passing over a
// folder that leads back to one above it (`above`).
void Walk(const std::string& folder, const std::string& prefix, std::set<std::string>& found,
          std::vector<platform::FileIdentity>& above) {
    platform::FolderEnumeration listing(folder);
    above.push_back(listing.Identity());
    platform::FolderEntry entry;
    while (listing.Next(entry) && found.size() < 100) {
        if (entry.name == "." || entry.name == "..") continue;
        if (!entry.isFolder) {
            found.insert(prefix + entry.name);
        } else if (!entry.identity ||
                   std::find(above.begin(), above.end(), *entry.identity) == above.end()) {
            Walk(folder + "/" + entry.name, prefix + entry.name + "/", found, above);
        }
    }
    above.pop_back();
}

TEST_F(Folders, AJunctionBackToAnAncestorIsPassedOver) {
    fs::create_directories(root_ / "site" / "inner");
    fs::create_directories(root_ / "elsewhere");
    Write("site/inner/page.html", "p");
    Write("elsewhere/other.html", "o");
    const std::wstring site = platform::windows::Widen(Path("site"));
    ASSERT_TRUE(MakeJunction(site + L"\\inner\\loop", site)) << GetLastError();
    ASSERT_TRUE(MakeJunction(site + L"\\away", platform::windows::Widen(Path("elsewhere"))));
    std::set<std::string> found;
    std::vector<platform::FileIdentity> above;
    Walk(Path("site"), "", found, above);
    EXPECT_EQ(found, (std::set<std::string>{"inner/page.html", "away/other.html"}));
    // Removed before the scratch folder, so that its removal does not follow them.
    for (const wchar_t* link : {L"\\inner\\loop", L"\\away"}) {
        EXPECT_TRUE(RemoveLink(site + link));
    }
}

// A path of exactly `length` characters: `start`, then levels of "d" joined by
// `separator`, the last one cut to fit.
std::string PathOfLength(const std::string& start, char separator, size_t length) {
    std::string path = start;
    while (path.size() < length) {
        if (path.back() != '/' && path.back() != '\\') path += separator;
        path += std::string(std::min<size_t>(40, length - path.size()), 'd');
    }
    return path;
}

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

TEST(Paths, TakeTheExtendedFormAtAnyLength) {
    wchar_t current[4096] = {};
    ASSERT_GT(GetCurrentDirectoryW(4096, current), 0u);
    std::string here = platform::windows::Narrow(current);
    if (here.back() != '\\') here += '\\';

    struct Case {
        std::string path;
        std::string expected;
    };
    std::vector<Case> cases;
    // Either side of the 260 characters where the plain form ends.
    for (const size_t length : {259u, 260u, 261u}) {
        const std::string path = PathOfLength("C:\\", '\\', length);
        cases.push_back({path, "\\\\?\\" + path});
    }
    const std::string slashed = PathOfLength("D:/", '/', 261);
    cases.push_back({slashed, "\\\\?\\" + Backslashed(slashed)});
    const std::string share = PathOfLength("\\\\server\\share\\", '\\', 300);
    cases.push_back({share, "\\\\?\\UNC\\" + share.substr(2)});
    cases.push_back(
        {"//server/share/site/index.html", "\\\\?\\UNC\\server\\share\\site\\index.html"});
    cases.push_back({"C:\\site\\.\\old\\..\\index.html", "\\\\?\\C:\\site\\index.html"});
    cases.push_back({"site/index.html", "\\\\?\\" + here + "site\\index.html"});
    cases.push_back({"\\site", "\\\\?\\" + here.substr(0, 2) + "\\site"});
    // Already extended: only the program's own joins are made right.
    cases.push_back({"\\\\?\\C:\\site\\/sub/page.html", "\\\\?\\C:\\site\\sub\\page.html"});
    cases.push_back({"\\\\?\\UNC\\server\\share\\a", "\\\\?\\UNC\\server\\share\\a"});
    cases.push_back({"\\\\.\\COM1", "\\\\.\\COM1"});
    cases.push_back({"", ""});

    for (const Case& c : cases) {
        EXPECT_EQ(platform::windows::Narrow(platform::windows::SystemPath(c.path)), c.expected)
            << c.path.size() << " characters: " << c.path;
    }
}

// The manifest the loader reads from `program`, empty when there is none.
std::string ManifestOf(const std::string& program) {
    HMODULE module = LoadLibraryExW(platform::windows::SystemPath(program).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) return {};
    std::string text;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        if (HGLOBAL loaded = LoadResource(module, found)) {
            text.assign(static_cast<const char*>(LockResource(loaded)),
                        SizeofResource(module, found));
        }
    }
    FreeLibrary(module);
    return text;
}

TEST(Paths, BothProgramsDeclareLongPathAwareness) {
    for (const char* program : {PELORINE_PROGRAM_PATH, PELORINE_ARCHIVE_TOOL_PATH}) {
        const std::string manifest = ManifestOf(program);
        EXPECT_NE(manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                                "WindowsSettings\">true</longPathAware>"),
                  std::string::npos)
            << program << ": " << manifest;
    }
}

TEST(Sockets, AnExclusiveListenerKeepsOtherProgramsOffItsPort) {
    const platform::Socket listener = platform::CreateStreamSocket();
    ASSERT_NE(listener, platform::kInvalidSocket);
    ASSERT_TRUE(platform::BindAllInterfaces(listener, 0));
    ASSERT_TRUE(platform::Listen(listener, 8));
    const uint16_t port = platform::LocalPort(listener);

    // Another program asking to share the address still gets nothing.
    SOCKET intruder = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    BOOL on = TRUE;
    setsockopt(intruder, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_NE(bind(intruder, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    closesocket(intruder);

    const platform::Socket second = platform::CreateStreamSocket();
    EXPECT_FALSE(platform::BindAllInterfaces(second, port));
    EXPECT_EQ(platform::ErrorText(errno), "Address already in use");
    platform::CloseSocket(second);
    platform::CloseSocket(listener);
}

TEST_F(Files, SocketsAndFilesAreNotInheritedByChildren) {
    Write("data", "x");
    const platform::Socket listener = platform::CreateStreamSocket();
    ASSERT_TRUE(platform::BindAllInterfaces(listener, 0));
    ASSERT_TRUE(platform::Listen(listener, 8));
    SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(platform::LocalPort(listener));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const platform::Socket accepted = platform::Accept(listener);
    const platform::FileHandle file = platform::OpenForReading(Path("data"));

    for (const HANDLE handle :
         {reinterpret_cast<HANDLE>(listener), reinterpret_cast<HANDLE>(accepted),
          reinterpret_cast<HANDLE>(file)}) {
        DWORD flags = HANDLE_FLAG_INHERIT;
        ASSERT_TRUE(GetHandleInformation(handle, &flags));
        EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
    }
    platform::CloseFile(file);
    closesocket(client);
    platform::CloseSocket(accepted);
    platform::CloseSocket(listener);
}

}  // namespace
