// How much smaller the slow LZO1X-999 compressor makes a set of files than
// LZO1X-1, at the library's default and at its highest level, each file
// compressed on its own as the archive does (a file that does not shrink
// counts at its own size). For bench/README.md's best-level figures.
//
// Build: g++ -O2 -std=c++20 lzo_levels.cpp -llzo2 -o lzo_levels
// Usage: find TREE -type f | shuf -n 3000 --random-source=<(yes) | lzo_levels
#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

int main() {
    if (lzo_init() != LZO_E_OK) return 1;
    std::vector<unsigned char> fastWork(LZO1X_1_MEM_COMPRESS), bestWork(LZO1X_999_MEM_COMPRESS);
    unsigned long long input = 0, fast = 0, best = 0, highest = 0;
    std::string path;
    while (std::getline(std::cin, path)) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<unsigned char> content((std::istreambuf_iterator<char>(file)), {});
        if (content.empty()) continue;
        std::vector<unsigned char> out(content.size() + content.size() / 16 + 67);
        const auto stored = [&](lzo_uint length) {
            return std::min<lzo_uint>(length, content.size());
        };
        lzo_uint length = 0;
        lzo1x_1_compress(content.data(), content.size(), out.data(), &length, fastWork.data());
        fast += stored(length);
        lzo1x_999_compress(content.data(), content.size(), out.data(), &length, bestWork.data());
        best += stored(length);
        lzo1x_999_compress_level(content.data(), content.size(), out.data(), &length,
                                 bestWork.data(), nullptr, 0, nullptr, 9);
        highest += stored(length);
        input += content.size();
    }
    if (fast == 0) return 1;
    std::printf(
        "input %llu bytes; LZO1X-1 %llu; LZO1X-999 %llu (%.1f %% smaller); level 9 %llu (%.1f %% "
        "smaller)\n",
        input, fast, best, 100.0 * (1.0 - double(best) / fast), highest,
        100.0 * (1.0 - double(highest) / fast));
}
