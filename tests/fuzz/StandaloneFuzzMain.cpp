// Runs a fuzz target once on every file named or found in the folders named,
// for builds without libFuzzer: the seeds and every input that once crashed
// stay checked by the ordinary test run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void RunFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (!entry.is_regular_file()) continue;
                // Dot files only keep empty folders in the repository.
                if (entry.path().filename().string().starts_with(".")) continue;
                RunFile(entry.path());
                ++inputs;
            }
        } else {
            RunFile(path);
            ++inputs;
        }
    }
    std::printf("%d inputs run\n", inputs);
    return 0;
}
