#include "Startup/Artwork.h"

#include <FL/Fl_Pixmap.H>

#include <cstring>
#include <iterator>

namespace {
#include "Startup/Artwork/button.xpm"
#include "Startup/Artwork/icon.xpm"
#include "Startup/Artwork/statusbar.xpm"
#include "Startup/Artwork/wallpaper.xpm"
}  // namespace

Fl_Image* ArtworkImage(const char* name) {
    // Made on first use, after the display is open, and never freed: the
    // window draws them until the process ends.
    static const struct {
        const char* name;
        const char* const* xpm;
    } kArtwork[] = {
        {"wallpaper", wallpaper_xpm},
        {"button", button_xpm},
        {"statusbar", statusbar_xpm},
    };
    static Fl_Pixmap* made[std::size(kArtwork)] = {};
    for (size_t i = 0; i < std::size(kArtwork); ++i) {
        if (std::strcmp(name, kArtwork[i].name) != 0) continue;
        if (made[i] == nullptr) made[i] = new Fl_Pixmap(kArtwork[i].xpm);
        return made[i];
    }
    return nullptr;
}

const Fl_RGB_Image* ProgramIcon() {
    static const Fl_RGB_Image* icon = [] {
        Fl_Pixmap pixmap(icon_xpm);
        return new Fl_RGB_Image(&pixmap, FL_WHITE);
    }();
    return icon;
}
