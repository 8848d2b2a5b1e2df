// Small file helpers for tests: a scratch folder removed afterwards, and whole
// files written and read as byte strings.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // `relative` below the folder, as a string.
    std::string operator/(const std::string& relative) const { return (path_ / relative).string(); }

  private:
    std::filesystem::path path_;
};

// Writes `bytes` to `path`, creating the folders above it.
void WriteBytes(const std::string& path, const std::string& bytes);

std::string ReadBytes(const std::string& path);

// Bytes that LZO cannot shrink (a fixed pseudo-random sequence).
std::string RandomBytes(size_t count, unsigned seed = 1);

// Text that compresses well.
std::string CompressibleText(size_t count);

// Runs a shell command; returns its exit status and puts what it printed on
// standard output into `output` when given.
int RunCommand(const std::string& command, std::string* output = nullptr);

// The program under test, next to the test binaries' build tree.
std::string ProgramPath();

}  // namespace testing_support
