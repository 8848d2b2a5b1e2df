#!/usr/bin/env bash
# Draws the window's artwork with ImageMagick and writes it as XPM sources that
# Startup/Artwork.cpp compiles in. Run it again after changing a colour here;
# the build itself does not need ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"

paper='#F3F5F8'     # the soft light background
panel='#FFFFFF'     # inside the two group frames
band='#3E6A92'      # the thin header band and the accents
rule='#D3DAE2'      # hairline under the header text
face='#E6ECF2'      # button face
edge='#7D8FA1'      # button and status-bar border
light='#F8FAFC'     # button highlight
bar='#EDF0F4'       # status-bar face
barEdge='#BAC4CE'   # status-bar border

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Writes $1.png as XPM source $1.xpm with the array name $2, 16 colours at most,
# colours as #RRGGBB and the array const.
to_xpm() {
    convert "$scratch/$1.png" +dither -colors 16 "xpm:$scratch/$2.xpm"
    sed -E -e "s/^static (const )?char \*[A-Za-z0-9_]+\[\]/static const char* const $2[]/" \
        -e 's/#(..)\1(..)\2(..)\3/#\1\2\3/' "$scratch/$2.xpm" >"$1.xpm"
}

# Background, 522 x 580: the window shows its top 533 rows. The white panels
# sit exactly inside the group frames the window draws at (12,87) and (12,319).
convert -size 522x580 "xc:$paper" +antialias \
    -fill "$band" -draw 'rectangle 0,0 521,3' \
    -fill "$rule" -draw 'rectangle 12,77 509,77' \
    -fill "$panel" -draw 'rectangle 13,88 508,307' \
    -fill "$panel" -draw 'rectangle 13,320 508,491' \
    "$scratch/wallpaper.png"
to_xpm wallpaper wallpaper_xpm

# Button, 71 x 23: flat face, one-pixel border, a highlight row under the top.
convert -size 71x23 "xc:$face" +antialias \
    -fill none -stroke "$edge" -draw 'rectangle 0,0 70,22' \
    -stroke "$light" -draw 'line 1,1 69,1' \
    "$scratch/button.png"
to_xpm button button_xpm

# Status bar, 500 x 22: pale face, soft border, a short accent at the left.
convert -size 500x22 "xc:$bar" +antialias \
    -fill none -stroke "$barEdge" -draw 'rectangle 0,0 499,21' \
    -fill "$band" -stroke none -draw 'rectangle 1,1 3,20' \
    "$scratch/statusbar.png"
to_xpm statusbar statusbar_xpm

# Program icon, 32 x 32: a box with a lid on a blue tile, the archive.
convert -size 32x32 xc:none +antialias \
    -fill "$band" -draw 'roundrectangle 1,1 30,30 5,5' \
    -fill "$panel" -draw 'rectangle 7,9 24,12' \
    -fill "$face" -draw 'rectangle 8,13 23,24' \
    -fill "$band" -draw 'rectangle 13,16 18,17' \
    "$scratch/icon.png"
to_xpm icon icon_xpm
