#include "tests/support/TestFiles.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pelorine-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string RandomBytes(size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string CompressibleText(size_t count) {
    std::string text;
    for (int line = 0; text.size() < count; ++line) {
        text += "<p>Line " + std::to_string(line % 97) + " of a page that repeats itself.</p>\n";
    }
    text.resize(count);
    return text;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string collected;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) collected.append(buffer, got);
    int status = pclose(pipe);
    if (output != nullptr) *output = collected;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ProgramPath() {
    return PELORINE_PROGRAM_PATH;
}

}  // namespace testing_support
