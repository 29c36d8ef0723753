#!/bin/bash
# Draws the program's pictures into resources/ with ImageMagick: the splash background, the
# name picture, the product mark (window icon and TUNORA16/32), the eleven genre pictures in
# 16 and 32 pixels, the one-pixel spacer, the Bug page's beetle, the three bar pieces, the record
# and stream signs, the nine menu images, the service list's seven images and the two cursors.
# The committed files are this script's output; running it again gives the same bytes (same
# ImageMagick and fonts).
#
#   scripts/make-pictures.sh [--sheet FILE.png]
#
# --sheet also writes a contact sheet: the product and genre pictures enlarged four times on a
# light and a dark background, and the splash as the window shows it, enlarged twice.
set -euo pipefail
export LC_ALL=C

ROOT=$(cd "$(dirname "$0")/.." && pwd)
GIF_DIR=$ROOT/resources/GIF
ICON_DIR=$ROOT/resources/ICON
SHEET=""
if [[ ${1:-} == --sheet ]]; then
    SHEET=${2:?--sheet needs a file name}
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$GIF_DIR" "$ICON_DIR"

# Fonts: fonts-dejavu-core and fonts-urw-base35. ImageMagick would quietly fall back to another
# font, which changes the pictures, so a missing one stops the script.
FONT_BOLD=DejaVu-Sans-Bold
FONT_NAME=URW-Gothic-Demi
for font in "$FONT_BOLD" "$FONT_NAME"; do
    if ! convert -list font | grep -x "  Font: $font" >/dev/null; then
        echo "make-pictures.sh: font $font is missing" >&2
        exit 1
    fi
done
# Keep the output free of time stamps and comments, so that it is byte-stable.
STABLE=(-strip -define png:exclude-chunks=date,time)

# Every symbol is drawn in a 32 x 32 unit box (the tile is a disc of radius 16 round 16,16) in
# white on black; black parts inside white shapes are holes that show the tile. $1 is the size of
# one target pixel in units (1 at 32 pixels, 2 at 16), so thin parts stay one pixel wide.

# band CX CY R W A0 A1: a ring segment of mean radius R and width W from angle A0 to A1
# (degrees, clockwise from +x) with round ends, as filled shapes (stroked open arcs are not
# reliable in ImageMagick 6).
band() {
    awk -v cx="$1" -v cy="$2" -v r="$3" -v w="$4" -v a0="$5" -v a1="$6" 'BEGIN {
        pi = atan2(0, -1); R = r + w / 2; q = r - w / 2
        s = a0 * pi / 180; e = a1 * pi / 180; big = (a1 - a0 > 180) ? 1 : 0
        printf "path \"M %.3f,%.3f A %.3f,%.3f 0 %d,1 %.3f,%.3f L %.3f,%.3f A %.3f,%.3f 0 %d,0 %.3f,%.3f Z\" ",
            cx + R * cos(s), cy + R * sin(s), R, R, big, cx + R * cos(e), cy + R * sin(e),
            cx + q * cos(e), cy + q * sin(e), q, q, big, cx + q * cos(s), cy + q * sin(s)
        printf "circle %.3f,%.3f %.3f,%.3f ", cx + r * cos(s), cy + r * sin(s), cx + r * cos(s) + w / 2, cy + r * sin(s)
        printf "circle %.3f,%.3f %.3f,%.3f\n", cx + r * cos(e), cy + r * sin(e), cx + r * cos(e) + w / 2, cy + r * sin(e)
    }'
}

sym_news() {
    local u=$1
    echo "fill white roundrectangle 8,8.5 24,23.5 1.5,1.5"
    echo "fill black rectangle 10.5,11 21.5,14"
    if [[ $u == 1 ]]; then
        echo "fill black rectangle 10.5,16 21.5,17 rectangle 10.5,19 21.5,20 rectangle 10.5,22 16,22.8"
    else
        echo "fill black rectangle 10,16 22,18 rectangle 10,20 18,22"
    fi
}

sym_sport() {
    # A cup: bowl with two handles on a stem and foot.
    echo "fill white path 'M 10,8 L 22,8 L 22,12 Q 22,19 16,19.5 Q 10,19 10,12 Z'"
    band 10 12.3 3 1.6 90 270
    band 22 12.3 3 1.6 -90 90
    echo "rectangle 14.8,19 17.2,22 roundrectangle 11,22 21,25 1,1"
}

sym_education() {
    echo "fill white polygon 16,8 28,13 16,18 4,13"
    echo "fill white path 'M 9.5,15.5 L 16,18.3 L 22.5,15.5 L 22.5,21 Q 16,24.5 9.5,21 Z'"
    echo "stroke white stroke-width $(awk "BEGIN{print 1.2*$1}") line 25.5,14 25.5,20"
    echo "stroke none fill white circle 25.5,21 25.5,19.3"
}

sym_drama() {
    echo "fill white path 'M 7.5,8.5 Q 16,6 24.5,8.5 L 24.5,15 Q 24.5,25.5 16,25.5 Q 7.5,25.5 7.5,15 Z'"
    echo "fill black ellipse 12.3,13.5 2.3,1.6 0,360 ellipse 19.7,13.5 2.3,1.6 0,360"
    echo "fill black path 'M 10.5,18 Q 16,24.5 21.5,18 Q 16,20.5 10.5,18 Z'"
}

sym_chart() {
    echo "fill white rectangle 8,17 12,24 rectangle 14,12 18,24 rectangle 20,7 24,24"
}

sym_music() {
    echo "fill white"
    echo "push graphic-context translate 11.2,21.6 rotate -25 ellipse 0,0 3.3,2.4 0,360 pop graphic-context"
    echo "push graphic-context translate 21.2,19.6 rotate -25 ellipse 0,0 3.3,2.4 0,360 pop graphic-context"
    echo "rectangle 12.8,10.5 14.6,21.2 rectangle 22.8,8.5 24.6,19.2"
    echo "polygon 12.8,10.5 24.6,8.5 24.6,12 12.8,14"
}

sym_finance() {
    # A pound sign from the bold font, placed by its centre.
    echo "font '$FONT_BOLD' font-size 19 gravity center fill white text 0,0.5 '£'"
}

sym_phone() {
    # A handset: earpiece and mouthpiece joined by a curved grip, turned 45 degrees.
    echo "push graphic-context translate 16,16 rotate -45 fill white"
    echo "path 'M 3.5,-9.5 L -2,-9.5 Q -5.5,-9.5 -5.5,-5.5 L -5.5,5.5 Q -5.5,9.5 -2,9.5 L 3.5,9.5 L 3.5,5 L -1.3,5 L -1.3,-5 L 3.5,-5 Z'"
    echo "pop graphic-context"
}

sym_travel() {
    echo "fill white path 'M 10,15 L 11.8,9.5 Q 12.2,8.5 13.3,8.5 L 18.7,8.5 Q 19.8,8.5 20.2,9.5 L 22,15 Z'"
    echo "fill white roundrectangle 7,14 25,22 2,2"
    echo "fill white rectangle 8.5,21 12,25 rectangle 20,21 23.5,25"
    echo "fill black polygon 12.4,14 13.6,10.5 18.4,10.5 19.6,14"
    echo "fill black circle 10.8,18 10.8,16.6 circle 21.2,18 21.2,16.6"
}

sym_alarm() {
    echo "stroke white stroke-width 2.5 stroke-linejoin round fill white polygon 16,7.5 25.5,23.5 6.5,23.5"
    if [[ $1 == 1 ]]; then
        echo "stroke none fill black rectangle 15,12 17,18.5 rectangle 15,20 17,22"
    else
        # Two pixels wide on the pixel grid; one would fall across two columns.
        echo "stroke none fill black rectangle 14,12 18,18 rectangle 14,20 18,22"
    fi
}

sym_default() {
    echo "stroke white stroke-width $(awk "BEGIN{print 1.2*$1}") stroke-linecap round line 12,11 21,6"
    echo "stroke none fill white roundrectangle 7,11 25,24 2.5,2.5"
    echo "fill black circle 12.5,17.5 12.5,14"
    echo "fill black rectangle 18,14.5 22.5,16 rectangle 18,19 22.5,20.5"
}

# The product mark: a transmitter with two waves to each side.
sym_tunora() {
    echo "fill white circle 16,16 16,13"
    if [[ $1 == 2 ]]; then
        # At 16 pixels one wave a side, or the waves run together.
        band 16 16 8.5 3 -45 45
        band 16 16 8.5 3 135 225
    else
        band 16 16 7 2.4 -42 42
        band 16 16 7 2.4 138 222
        band 16 16 12 2.4 -36 36
        band 16 16 12 2.4 144 216
    fi
}

# The product's colours: the mark's navy and its orange accent.
NAVY="hsl(226,56%,32%)"
ACCENT="hsl(27,92%,55%)"

sym_tunora_accent() {
    echo "fill white circle 16,16 16,13.2"
}

# render_tile SIZE SYMBOL HUE SATURATION LIGHTNESS OUT: draws a tile at eight times SIZE and
# shrinks it, so every edge is smoothed by area. The tile is a disc with a soft top-to-bottom
# shade and a darker rim one pixel wide, so that it reads on light and dark backgrounds. The
# symbol is white; SYMBOL_accent, when defined, is drawn over it in the accent colour.
render_tile() {
    local size=$1 symbol=$2 h=$3 s=$4 l=$5 out=$6
    local big=$((size * 8)) k u rimr
    k=$(awk -v n="$size" 'BEGIN { print n / 4 }')
    u=$(awk -v n="$size" 'BEGIN { print 32 / n }')
    rimr=$(awk -v u="$u" 'BEGIN { print 0.2 + u / 2 }')
    local light="hsl($h,$s%,$((l + 7))%)" dark="hsl($h,$s%,$((l - 5))%)"
    local rim="hsl($h,$s%,$((l - 16))%)"
    convert -size ${big}x${big} xc:black -draw "scale $k,$k fill white circle 16,16 16,0.2" \
        "$WORK/disc.png"
    convert -size ${big}x${big} gradient:"$light"-"$dark" "$WORK/disc.png" -alpha off \
        -compose CopyOpacity -composite \
        -draw "scale $k,$k fill none stroke $rim stroke-width $u circle 16,16 16,$rimr" \
        "$WORK/tile.png"
    convert -size ${big}x${big} xc:black -draw "scale $k,$k $($symbol "$u")" "$WORK/sym.png"
    convert "$WORK/tile.png" \( -size ${big}x${big} xc:white "$WORK/sym.png" -alpha off \
        -compose CopyOpacity -composite \) -compose Over -composite "$WORK/big.png"
    if declare -F "${symbol}_accent" >/dev/null; then
        convert -size ${big}x${big} xc:black -draw "scale $k,$k $("${symbol}_accent" "$u")" \
            "$WORK/acc.png"
        convert "$WORK/big.png" \( -size ${big}x${big} xc:"$ACCENT" "$WORK/acc.png" -alpha off \
            -compose CopyOpacity -composite \) -compose Over -composite "$WORK/big.png"
    fi
    convert "$WORK/big.png" -filter Box -resize ${size}x${size} "$out"
}

# to_gif IN OUT: GIF transparency is all or nothing, so the edge is cut at half coverage.
to_gif() {
    convert "$1" -channel A -threshold 50% +channel +dither -colors 255 "${STABLE[@]}" "$2"
}

# tile NAME SYMBOL HUE SATURATION LIGHTNESS: writes NAME16.gif and NAME32.gif.
tile() {
    local size
    for size in 16 32; do
        render_tile $size "$2" "$3" "$4" "$5" "$WORK/t.png"
        to_gif "$WORK/t.png" "$GIF_DIR/$1$size.gif"
    done
}

tile NEWS sym_news 218 62 46
tile SPORT sym_sport 132 52 38
tile EDUCATION sym_education 250 46 50
tile DRAMA sym_drama 338 58 48
tile CHART sym_chart 26 82 50
tile MUSIC sym_music 296 48 47
tile FINANCE sym_finance 44 78 40
tile PHONE sym_phone 196 70 42
tile TRAVEL sym_travel 172 60 34
tile ALARM sym_alarm 2 70 50
tile DEFAULT sym_default 212 16 46
tile TUNORA sym_tunora 226 56 32

# The spacer of the server's index page: one transparent pixel.
convert -size 1x1 xc:none "${STABLE[@]}" "$GIF_DIR/1X1.gif"

# The window icon: the product mark with soft edges, in 32 and 16 pixels.
render_tile 32 sym_tunora 226 56 32 "$WORK/m32.png"
convert "$WORK/m32.png" "${STABLE[@]}" "PNG32:$ICON_DIR/MAINICON.png"
render_tile 16 sym_tunora 226 56 32 "$WORK/m16.png"
convert "$WORK/m16.png" "${STABLE[@]}" "PNG32:$ICON_DIR/MAINICON16.png"

# The name picture, 268 x 64: the mark and the word. Its edges are smoothed against white,
# since it is shown on the white splash and the white About panel.
render_tile 56 sym_tunora 226 56 32 "$WORK/mark.png"
convert -size 268x64 xc:none "$WORK/mark.png" -geometry +4+4 -compose Over -composite \
    -font "$FONT_NAME" -pointsize 52 -fill "$NAVY" -gravity west \
    -annotate +72+0 "Tunora" "$WORK/name.png"
convert "$WORK/name.png" -background white -alpha remove -alpha off \
    \( "$WORK/name.png" -alpha extract -threshold 3% \) -compose CopyOpacity -composite \
    +dither -colors 255 "${STABLE[@]}" "$GIF_DIR/TUNORA.gif"

# The splash background, 300 x 100 on white: faint waves spreading from the lower right, and a
# soft band along the foot from a navy tint to an orange tint. The version text sits on the band
# at the right, so the band stays light.
convert -size 300x100 xc:white -fill none -stroke '#EDF1F8' -strokewidth 2 \
    -draw "circle 262,118 262,88 circle 262,118 262,72 circle 262,118 262,56 circle 262,118 262,40 circle 262,118 262,24 circle 262,118 262,8" \
    "$WORK/waves.png"
convert -size 100x300 gradient:'#D9E3F5'-'#FCE5D3' -rotate -90 "$WORK/tint.png"
convert -size 300x100 xc:black -fill white \
    -draw "path 'M 0,74 C 90,60 190,92 300,68 L 300,100 L 0,100 Z'" -blur 0x0.6 "$WORK/bandmask.png"
convert "$WORK/waves.png" \( "$WORK/tint.png" "$WORK/bandmask.png" -alpha off \
    -compose CopyOpacity -composite \) -compose Over -composite \
    -fill none -stroke '#C9D6EE' -strokewidth 1 -draw "path 'M 0,74 C 90,60 190,92 300,68'" \
    -dither FloydSteinberg -colors 256 "${STABLE[@]}" "$GIF_DIR/SPLASH.gif"

# ---- The bar, its signs, the menu images and the cursors --------------------------------------

# The bar's outline at 4x for a 320-pixel bar: the window's shape, the union of a rounded square
# at the left (0..56, corner radius 22) and the bar from x 52 (radius 22). BAR1 is its first 80
# columns, BAR2 a slice of the plain middle (stretched by the window), BAR3 the last 24.
BODY_LINE="#6F7FA3"
bar_shape() {  # bar_shape INSET OUT: the shape shrunk by INSET pixels (at 1x) as a white mask
    local i=$1
    convert -size 1280x224 xc:black -fill white \
        -draw "roundrectangle $((i * 4)),$((i * 4)) $((224 - i * 4 - 1)),$((224 - i * 4 - 1)) $((88 - i * 4)),$((88 - i * 4))" \
        -draw "roundrectangle $((208 + i * 4)),$((i * 4)) $((1280 - i * 4 - 1)),$((224 - i * 4 - 1)) $((88 - i * 4)),$((88 - i * 4))" \
        "$2"
}
bar_shape 0 "$WORK/shape.png"
bar_shape 1 "$WORK/inner.png"
# The cap behind the genre picture, inside its own one-pixel rim.
convert -size 1280x224 xc:black -fill white -draw "roundrectangle 4,4 219,219 84,84" "$WORK/cap.png"
convert -size 1280x224 gradient:'#FFFFFF'-'#E2E8F2' "$WORK/body.png"
convert -size 1280x224 gradient:"hsl(226,56%,40%)"-"hsl(226,56%,26%)" "$WORK/capfill.png"
# The body: the outline colour, the light body inside it, then the navy cap with a darker rim,
# a thin accent ring round the genre picture, and the minimise mark in the top-right corner.
convert -size 1280x224 xc:"$BODY_LINE" \
    \( "$WORK/body.png" "$WORK/inner.png" -alpha off -compose CopyOpacity -composite \) \
    -compose Over -composite \
    \( -size 1280x224 xc:"hsl(226,56%,18%)" \( -size 1280x224 xc:black -fill white \
        -draw "roundrectangle 0,0 223,223 88,88" \) -alpha off -compose CopyOpacity -composite \) \
    -compose Over -composite \
    \( "$WORK/capfill.png" "$WORK/cap.png" -alpha off -compose CopyOpacity -composite \) \
    -compose Over -composite \
    -fill none -stroke "$ACCENT" -strokewidth 5 -draw "circle 112,112 112,36" \
    -stroke none -fill "$BODY_LINE" -draw "roundrectangle 1210,38 1246,47 4,4" \
    "$WORK/bar.png"
convert "$WORK/bar.png" "$WORK/shape.png" -alpha off -compose CopyOpacity -composite \
    -filter Box -resize 320x56 -background white -alpha remove -alpha off "$WORK/bar1x.png"
convert "$WORK/bar1x.png" -crop 80x56+0+0 +repage +dither -colors 255 "${STABLE[@]}" "$GIF_DIR/BAR1.gif"
convert "$WORK/bar1x.png" -crop 16x56+160+0 +repage +dither -colors 255 "${STABLE[@]}" "$GIF_DIR/BAR2.gif"
convert "$WORK/bar1x.png" -crop 24x56+296+0 +repage +dither -colors 255 "${STABLE[@]}" "$GIF_DIR/BAR3.gif"

# The options window's Bug page: a beetle on a red tile, 64 pixels.
sym_bug() {
    echo "stroke white stroke-width 1.4 line 9,13 5,10 line 9,18 4.5,18 line 9,23 5,26"
    echo "line 23,13 27,10 line 23,18 27.5,18 line 23,23 27,26 line 14.5,8 12,4.5 line 17.5,8 20,4.5"
    echo "stroke none fill white ellipse 16,18.5 7,8 0,360 circle 16,9.5 16,6.5"
    echo "fill black rectangle 15.5,12.5 16.5,26.5 circle 12.5,17 12.5,15.5 circle 19.5,21 19.5,19.5"
}
render_tile 64 sym_bug 2 70 50 "$WORK/bug.png"
to_gif "$WORK/bug.png" "$GIF_DIR/BUG.gif"

# The record and stream signs, 16 pixels, in the tiles' style.
sym_record() {
    echo "fill white circle 16,16 16,9.5"
}
sym_network() {
    echo "fill white circle 16,16 16,13.3"
    band 16 16 8.5 3 -45 45
    band 16 16 8.5 3 135 225
}
single() {  # single NAME SYMBOL HUE SATURATION LIGHTNESS: one 16-pixel picture NAME.gif
    render_tile 16 "$2" "$3" "$4" "$5" "$WORK/t.png"
    to_gif "$WORK/t.png" "$GIF_DIR/$1.gif"
}
single RECORD sym_record 2 78 50
single NETWORK sym_network 142 58 36

# The nine menu images, by their index in the bar's image list.
sym_options() {
    echo "fill white rectangle 7,9 25,11 rectangle 7,15 25,17 rectangle 7,21 25,23"
    echo "circle 12,10 12,6.8 circle 20,16 20,12.8 circle 14,22 14,18.8"
}
sym_list() {
    echo "fill white rectangle 7,8.5 10,11.5 rectangle 7,14.5 10,17.5 rectangle 7,20.5 10,23.5"
    echo "rectangle 12.5,8.5 25,11.5 rectangle 12.5,14.5 25,17.5 rectangle 12.5,20.5 25,23.5"
}
sym_timer() {
    echo "fill white"
    band 16 17 8 3 0 180
    band 16 17 8 3 180 360
    echo "fill white rectangle 14.6,11 17.4,18 rectangle 14.6,15.6 21,18.4"
    echo "circle 9.5,7.5 9.5,5 circle 22.5,7.5 22.5,5"
}
sym_exit() {
    echo "fill white"
    band 16 17 8 3 -45 225
    echo "fill white roundrectangle 14.5,5.5 17.5,16 1.5,1.5"
}
sym_bar() {
    echo "fill white roundrectangle 5,12 27,21 4.5,4.5"
    echo "fill black circle 10,16.5 10,14.5 rectangle 14,15 24,17.5"
}
sym_quiet() {
    echo "fill white polygon 6,13 10,13 15.5,8 15.5,24 10,19 6,19"
    echo "stroke white stroke-width 2.6 stroke-linecap round line 19,12.5 26,19.5 line 26,12.5 19,19.5"
}
sym_recent() {
    echo "fill white"
    band 16 16 8.5 3 -60 200
    # An arrow head where the ring ends, pointing along it (clockwise).
    awk 'BEGIN { pi = atan2(0, -1); a = 200 * pi / 180; cx = 16 + 8.5 * cos(a); cy = 16 + 8.5 * sin(a)
        tx = -sin(a); ty = cos(a); nx = cos(a); ny = sin(a)
        printf "fill white polygon %.2f,%.2f %.2f,%.2f %.2f,%.2f\n", cx + 4.5 * tx, cy + 4.5 * ty,
            cx + 4.2 * nx - 0.5 * tx, cy + 4.2 * ny - 0.5 * ty, cx - 4.2 * nx - 0.5 * tx, cy - 4.2 * ny - 0.5 * ty }'
    echo "fill white rectangle 14.8,10.5 17.2,17.2 rectangle 14.8,15 20.5,17.2"
}
sym_favourite() {
    awk 'BEGIN { pi = atan2(0, -1); printf "fill white polygon"
        for (i = 0; i < 10; i++) { r = (i % 2) ? 4.6 : 11; a = (-90 + 36 * i) * pi / 180
            printf " %.2f,%.2f", 16 + r * cos(a), 17 + r * sin(a) }
        printf "\n" }'
}
sym_link() {
    echo "fill white"
    band 16 16 8.5 2.6 0 180
    band 16 16 8.5 2.6 180 360
    echo "fill none stroke white stroke-width 2.4 ellipse 16,16 3.6,8.5 0,360 line 7.5,16 24.5,16"
}
single MENUOPTIONS sym_options 212 18 44
single MENULIST sym_list 218 62 46
single MENUTIMER sym_timer 27 82 50
single MENUEXIT sym_exit 2 70 48
single MENUBAR sym_bar 226 56 32
single MENUQUIET sym_quiet 212 18 44
single MENURECENT sym_recent 196 70 42
single MENUFAVOURITE sym_favourite 44 85 44
single MENULINK sym_link 172 60 34

# The service list's seven images: the header pictures of the genre, recording and favourite
# columns, then the recording and favourite marks of a row, plain and for the selected row
# (lighter, so they read on the selection colour).
single LIST0 sym_list 218 62 46
single LIST1 sym_record 2 30 40
single LIST2 sym_favourite 44 30 40
single LIST3 sym_record 2 78 50
single LIST4 sym_favourite 44 85 44
single LIST5 sym_record 2 90 70
single LIST6 sym_favourite 44 95 70

# The two cursors, 32 x 32 PNG with the hot spot in the middle: CAPTION (the bar drags) four
# arrows, REDUCE (the corner closes the bar to the notification area) an arrow down onto a line.
CURSOR_DIR=$ROOT/resources/CURSOR
mkdir -p "$CURSOR_DIR"
cursor() {  # cursor NAME DRAW
    convert -size 128x128 xc:none -fill white -stroke black -strokewidth 1.5 -draw "scale 4,4 $2" \
        -filter Box -resize 32x32 "${STABLE[@]}" "PNG32:$CURSOR_DIR/$1.png"
}
cursor CAPTION "polygon 16,3 21,8.5 17.5,8.5 17.5,14.5 23.5,14.5 23.5,11 29,16 23.5,21 23.5,17.5 17.5,17.5 17.5,23.5 21,23.5 16,29 11,23.5 14.5,23.5 14.5,17.5 8.5,17.5 8.5,21 3,16 8.5,11 8.5,14.5 14.5,14.5 14.5,8.5 11,8.5"
cursor REDUCE "polygon 13.5,4 18.5,4 18.5,13 23,13 16,21 9,13 13.5,13 rectangle 8,24 24,27.5"

if [[ -n $SHEET ]]; then
    names=(TUNORA NEWS SPORT EDUCATION DRAMA CHART MUSIC FINANCE PHONE TRAVEL ALARM DEFAULT)
    row() {  # row SIZE BACKGROUND
        local args=() n
        for n in "${names[@]}"; do args+=("$GIF_DIR/$n$1.gif"); done
        montage "${args[@]}" -background "$2" -tile x1 -geometry "+4+4" -scale 400% "$WORK/row-$1-${2//#/}.png"
    }
    row 16 '#ffffff'; row 32 '#ffffff'; row 16 '#202428'; row 32 '#202428'
    convert "$WORK"/row-16-ffffff.png "$WORK"/row-32-ffffff.png "$WORK"/row-16-202428.png \
        "$WORK"/row-32-202428.png -background '#808080' -gravity west -append "$WORK/genres.png"
    convert "$GIF_DIR/SPLASH.gif" \( "$GIF_DIR/TUNORA.gif" -scale 268x64! \) -geometry +16+12 \
        -compose Over -composite -font DejaVu-Sans -pointsize 8 -fill black -gravity northeast \
        -annotate +25+75 "Version 1.4 Dev 10" \( -size 300x100 xc:black -fill white \
        -draw "roundrectangle 0,0 299,99 22,22" \) -alpha off -compose CopyOpacity -composite \
        -background '#808080' -alpha remove -scale 200% "$WORK/splash.png"
    convert "$WORK/genres.png" "$WORK/splash.png" -background '#808080' -gravity west -append \
        "${STABLE[@]}" "$SHEET"
fi
