// Sizes and times of the codings a browser takes for text, each file
// compressed on its own as the server does: gzip (zlib) at nginx's default
// level 1, at --browse-compress's level 6 and at 9, and brotli at qualities 4 to 11.
// For bench/README.md's choice of coding.
//
// Build: g++ -O2 -std=c++20 text_codings.cpp -lz -lbrotlienc -o text_codings
// Usage: find TREE -name '*.html' -o -name '*.css' -o -name '*.js' | text_codings
#include <brotli/encode.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

size_t Gzip(const std::string& in, int level) {
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, in.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    const size_t made = out.size() - stream.avail_out;
    deflateEnd(&stream);
    return made;
}

size_t Brotli(const std::string& in, int quality) {
    size_t size = BrotliEncoderMaxCompressedSize(in.size());
    std::string out(size, '\0');
    BrotliEncoderCompress(quality, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT, in.size(),
                          reinterpret_cast<const uint8_t*>(in.data()), &size,
                          reinterpret_cast<uint8_t*>(out.data()));
    return size;
}

}  // namespace

int main() {
    std::vector<std::string> files;
    size_t input = 0;
    std::string path;
    while (std::getline(std::cin, path)) {
        std::ifstream file(path, std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        input += files.back().size();
    }
    std::printf("%zu files, %zu bytes\n", files.size(), input);
    const struct {
        const char* name;
        size_t (*compress)(const std::string&, int);
        int level;
    } codings[] = {{"gzip 1", Gzip, 1},     {"gzip 6", Gzip, 6},     {"gzip 9", Gzip, 9},
                   {"brotli 4", Brotli, 4}, {"brotli 5", Brotli, 5}, {"brotli 6", Brotli, 6},
                   {"brotli 7", Brotli, 7}, {"brotli 9", Brotli, 9}, {"brotli 11", Brotli, 11}};
    for (const auto& coding : codings) {
        const auto start = std::chrono::steady_clock::now();
        size_t output = 0;
        for (const std::string& file : files) output += coding.compress(file, coding.level);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-10s %10zu bytes (%.1f %%)  %7.1f MB/s\n", coding.name, output,
                    100.0 * output / input, input / seconds / 1e6);
    }
}
