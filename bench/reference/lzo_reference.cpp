// The least a compile has to do, as a yardstick for bench/compile: walk the
// tree, read each file whole, try LZO1X-1 on it unless its extension marks it
// as compressed already, append the smaller of the two, and end with an index.
// It writes the same archive layout as pelorine, so the two outputs can be
// compared byte for byte when both walk the same tree in the same order.
//
// Buffers grow as needed and are kept between files: this is the cheapest
// way to do the work, not a second implementation of the program.
//
// Build: g++ -O2 -std=c++20 lzo_reference.cpp -llzo2 -o lzo_reference
// Usage: lzo_reference SOURCE_FOLDER ARCHIVE
#include <dirent.h>
#include <fcntl.h>
#include <lzo/lzo1x.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Record {
    uint32_t unpacked, packed, offset;
    std::string name;
};

int archive = -1;
uint64_t position = 0;
size_t sourceLength = 0;
std::vector<Record> records;
std::vector<unsigned char> input, output;
std::vector<unsigned char> workMemory(std::max<size_t>(131072, LZO1X_1_MEM_COMPRESS));

bool StoredRaw(std::string_view name) {
    static constexpr std::string_view kExtensions[] = {
        ".zip",  ".rar", ".arj", ".cab", ".tgz", ".gz",  ".7z",  ".gif", ".png", ".jpg",
        ".jpeg", ".mp3", ".wma", ".ogg", ".wav", ".wmv", ".avi", ".mpg", ".mpge"};
    size_t dot = name.find_last_of(".\\:");
    if (dot == std::string_view::npos || name[dot] != '.') return false;
    std::string extension(name.substr(dot));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return std::find(std::begin(kExtensions), std::end(kExtensions), extension) !=
           std::end(kExtensions);
}

void WriteAll(const void* bytes, size_t count) {
    const auto* at = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        ssize_t put = write(archive, at, count);
        if (put <= 0) {
            std::perror("write");
            std::exit(1);
        }
        at += put;
        count -= static_cast<size_t>(put);
        position += static_cast<size_t>(put);
    }
}

void PackFile(const std::string& path, const char* name) {
    int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) return;
    struct stat info {};
    if (fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(file);
        return;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    if (input.size() < size) input.resize(size);
    size_t got = 0;
    while (got < size) {
        ssize_t n = read(file, input.data() + got, size - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(file);

    const unsigned char* stored = input.data();
    size_t storedSize = got;
    uint32_t packed = 0;
    if (got > 0 && !StoredRaw(name)) {
        const size_t bound = got + got / 16 + 64 + 3;
        if (output.size() < bound) output.resize(bound);
        lzo_uint length = 0;
        if (lzo1x_1_compress(input.data(), got, output.data(), &length, workMemory.data()) ==
                LZO_E_OK &&
            length < got) {
            stored = output.data();
            storedSize = length;
            packed = static_cast<uint32_t>(length);
        }
    }
    records.push_back({static_cast<uint32_t>(got), packed, static_cast<uint32_t>(position),
                       path.substr(sourceLength + 1)});
    WriteAll(stored, storedSize);
}

void Walk(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (dirent* found = readdir(dir)) {
        if (std::strcmp(found->d_name, ".") == 0 || std::strcmp(found->d_name, "..") == 0) continue;
        std::string path = folder + "/" + found->d_name;
        unsigned char type = found->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            struct stat info {};
            if (stat(path.c_str(), &info) != 0) continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            Walk(path);
        } else if (type == DT_REG) {
            PackFile(path, found->d_name);
        }
    }
    closedir(dir);
}

void PutU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || lzo_init() != LZO_E_OK) {
        std::fprintf(stderr, "usage: lzo_reference SOURCE_FOLDER ARCHIVE\n");
        return 2;
    }
    std::string source = argv[1];
    while (source.size() > 1 && source.back() == '/') source.pop_back();
    sourceLength = source.size();
    archive = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (archive < 0) {
        std::perror(argv[2]);
        return 1;
    }
    const unsigned char placeholder[4] = {};
    WriteAll(placeholder, sizeof placeholder);
    Walk(source);

    const uint32_t indexOffset = static_cast<uint32_t>(position);
    std::string index;
    for (const Record& record : records) {
        PutU32(index, record.unpacked);
        PutU32(index, record.packed);
        PutU32(index, record.offset);
        index.push_back(static_cast<char>(record.name.size() & 0xFF));
        index.push_back(static_cast<char>(record.name.size() >> 8));
        index += record.name;
    }
    WriteAll(index.data(), index.size());
    std::string header;
    PutU32(header, indexOffset);
    if (pwrite(archive, header.data(), header.size(), 0) != 4 || close(archive) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
