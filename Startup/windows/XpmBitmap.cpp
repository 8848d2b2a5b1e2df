#include "Startup/windows/XpmBitmap.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {
#include "Startup/Artwork/button.xpm"
#include "Startup/Artwork/icon.xpm"
#include "Startup/Artwork/statusbar.xpm"
#include "Startup/Artwork/wallpaper.xpm"

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;  // top row first
};

// Our own artwork only: "W H COLORS CHARS", then "KEY c COLOUR" lines with
// #RRGGBB, white, black or None, then the rows.
Pixels Parse(const char* const* xpm) {
    Pixels pixels;
    int colors = 0;
    int charsPerPixel = 0;
    if (std::sscanf(xpm[0], "%d %d %d %d", &pixels.width, &pixels.height, &colors,
                    &charsPerPixel) != 4 ||
        charsPerPixel < 1) {
        return {};
    }
    std::map<std::string, uint32_t> palette;
    for (int i = 1; i <= colors; ++i) {
        const std::string line = xpm[i];
        const std::string key = line.substr(0, static_cast<size_t>(charsPerPixel));
        const size_t hash = line.find('#');
        uint32_t rgb = 0xFFFFFF;  // "white", and "None" over the white window
        if (hash != std::string::npos) {
            rgb = static_cast<uint32_t>(std::stoul(line.substr(hash + 1, 6), nullptr, 16));
        } else if (line.find(" c black") != std::string::npos) {
            rgb = 0;
        }
        palette[key] = 0xFF000000u | rgb;
    }
    pixels.argb.resize(static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height));
    for (int y = 0; y < pixels.height; ++y) {
        const char* row = xpm[1 + colors + y];
        for (int x = 0; x < pixels.width; ++x) {
            const std::string key(row + x * charsPerPixel, static_cast<size_t>(charsPerPixel));
            pixels.argb[static_cast<size_t>(y) * static_cast<size_t>(pixels.width) +
                        static_cast<size_t>(x)] = palette[key];
        }
    }
    return pixels;
}

HBITMAP MakeBitmap(const Pixels& pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) std::memcpy(bits, pixels.argb.data(), pixels.argb.size() * 4);
    return bitmap;
}

}  // namespace

HBITMAP ArtworkBitmap(const char* name) {
    static const struct {
        const char* name;
        const char* const* xpm;
    } kArtwork[] = {
        {"wallpaper", wallpaper_xpm},
        {"button", button_xpm},
        {"statusbar", statusbar_xpm},
    };
    static HBITMAP made[std::size(kArtwork)] = {};
    for (size_t i = 0; i < std::size(kArtwork); ++i) {
        if (std::strcmp(name, kArtwork[i].name) != 0) continue;
        if (made[i] == nullptr) made[i] = MakeBitmap(Parse(kArtwork[i].xpm));
        return made[i];
    }
    return nullptr;
}

HICON ProgramIcon() {
    static const HICON icon = [] {
        const Pixels pixels = Parse(icon_xpm);
        ICONINFO info{};
        info.fIcon = TRUE;
        info.hbmColor = MakeBitmap(pixels);
        info.hbmMask = CreateBitmap(pixels.width, pixels.height, 1, 1, nullptr);
        HICON made = CreateIconIndirect(&info);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return made;
    }();
    return icon;
}
