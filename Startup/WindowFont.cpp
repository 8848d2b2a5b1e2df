#include "Startup/WindowFont.h"

#include <FL/Fl.H>
#include <fontconfig/fontconfig.h>

namespace {

// The window is laid out for 96 pixels per inch: 8 points are 11 pixels.
constexpr Fl_Fontsize kFontPixels = 11;

// Toolkit font slots of our own, after the built-in ones.
constexpr Fl_Font kRegularSlot = FL_FREE_FONT;
constexpr Fl_Font kBoldSlot = FL_FREE_FONT + 1;

// True when fontconfig knows the family itself, not merely a substitute.
bool FamilyInstalled(const char* family) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    const bool found = fonts != nullptr && fonts->nfont > 0;
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

WindowFont ChooseFont() {
    // The toolkit names fonts by a style letter (' ' regular, 'B' bold) and
    // the family.
    static const struct {
        const char* family;
        const char* regularName;
        const char* boldName;
    } kCandidates[] = {
        {"Tahoma", " Tahoma", "BTahoma"},
        {"Liberation Sans", " Liberation Sans", "BLiberation Sans"},
    };
    if (FcInit()) {
        for (const auto& candidate : kCandidates) {
            if (!FamilyInstalled(candidate.family)) continue;
            Fl::set_font(kRegularSlot, candidate.regularName);
            Fl::set_font(kBoldSlot, candidate.boldName);
            return {kRegularSlot, kBoldSlot, kFontPixels};
        }
    }
    return {FL_HELVETICA, FL_HELVETICA_BOLD, kFontPixels};
}

}  // namespace

const WindowFont& TheWindowFont() {
    static const WindowFont font = ChooseFont();
    return font;
}
