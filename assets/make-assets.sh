#!/usr/bin/env bash
# Draws the program's pictures. Run it after changing a design here; the
# results are committed, so building needs neither ImageMagick nor the fonts.
#   apt-get install imagemagick fonts-noto-cjk
set -euo pipefail
cd "$(dirname "$0")"

SERIF=Noto-Serif-CJK-SC-Bold
SANS=Noto-Sans-CJK-SC

# The leaf: the program's sign, drawn on a 256 × 256 grid.
leaf() { # size background
    local s=$1
    convert -size 256x256 "xc:$2" \
        -fill '#2e9d4f' -stroke '#1d6b34' -strokewidth 8 \
        -draw "path 'M 40,216 C 40,96 120,32 224,32 C 224,150 160,216 40,216 Z'" \
        -fill none -stroke '#eaf7e4' -strokewidth 10 \
        -draw "path 'M 52,204 C 100,150 150,100 200,58'" \
        -resize "${s}x${s}" "$3"
}

# Application icon.
leaf 256 none qingchuanye.png

# Notification-area picture.
leaf 16 none tray.png

# The About box picture: 32 × 32 in 16 colours, as a plain bitmap.
leaf 32 '#ffffff' png:- | convert png:- -background white -flatten -colors 16 -type Palette BMP3:about.bmp

# Entry logo: 420 × 125.
convert -size 420x125 gradient:'#f4fbef'-'#d7efd0' \
    \( qingchuanye.png -resize 96x96 \) -geometry +18+15 -composite \
    -font "$SERIF" -pointsize 46 -fill '#1d6b34' -annotate +128+66 '晴川叶' \
    -font "$SANS" -pointsize 22 -fill '#3c7f4d' -annotate +132+100 '轻松学英语 · Learn English' \
    -quality 92 logo.jpg

# Title bar glyphs, white on transparent to sit on the dark gradient.
glyph() { convert -size 16x16 xc:none -stroke white -strokewidth 2 -fill none -draw "$1" "$2"; }
glyph 'line 3,12 12,12' sb_min.png
glyph 'rectangle 3,3 12,12' sb_max.png
glyph 'line 3,3 12,12 line 12,3 3,12' sb_exit.png
