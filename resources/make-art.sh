#!/bin/sh
# Draws the program's icons, its About picture and its sound into this folder.
# The results are kept in the repository, so a build never needs ImageMagick or
# sox; run this again only after changing the drawings below.
#
#   sentrovia.ico  icon 101  the watchdog on its shield (tray, window class, list image 0)
#   noicon.ico     icon 115  stands in for a program file that carries no icon
#   nut.ico        icon 129  a cookie with a nut (the nuts dialog)
#   about.bmp      bitmap 117, 80x60, 24-bit, the About page's picture
#   sound.wav      wave 113, a two-tone chime, 22050 Hz mono 16-bit PCM
#
# Needs ImageMagick 6 (convert) and sox: apt-get install imagemagick sox
set -eu

here=$(cd "$(dirname "$0")" && pwd)
CONVERT=${CONVERT:-/usr/bin/convert}
[ -x "$CONVERT" ] || CONVERT=$(command -v convert || true)
[ -n "$CONVERT" ] || { echo "make-art.sh: ImageMagick's convert is missing (apt-get install imagemagick)" >&2; exit 1; }
command -v sox >/dev/null || { echo "make-art.sh: sox is missing (apt-get install sox)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# --- Icon 101: the watchdog. Drawn large and scaled down for 32 and 48 pixels;
# at 16 pixels scaling turns the face to mush, so that size is drawn pixel by pixel.
"$CONVERT" -size 256x256 xc:none \
  -fill '#0b2f6b' -draw "path 'M 128,6 L 238,38 L 238,118 C 238,190 188,230 128,252 C 68,230 18,190 18,118 L 18,38 Z'" \
  -fill '#3a82dc' -draw "path 'M 128,22 L 222,50 L 222,118 C 222,182 180,214 128,234 C 76,214 34,182 34,118 L 34,50 Z'" \
  -fill '#5b99e6' -draw "path 'M 128,22 L 222,50 L 222,118 C 222,150 214,172 200,190 L 128,22 Z'" \
  -fill '#c98a4b' -draw "ellipse 128,112 58,56 0,360" \
  -fill '#6b3b1a' -draw "path 'M 88,66 C 56,58 34,80 38,122 C 40,152 50,172 66,174 C 82,172 86,140 92,110 Z'" \
                  -draw "path 'M 168,66 C 200,58 222,80 218,122 C 216,152 206,172 190,174 C 174,172 170,140 164,110 Z'" \
  -fill '#f3dcb6' -draw "ellipse 128,158 40,32 0,360" \
  -fill '#e86a7a' -draw "ellipse 128,186 13,16 0,360" \
  -fill '#f3dcb6' -draw "rectangle 110,166 146,180" \
  -fill '#141414' -draw "ellipse 104,108 12,14 0,360" -draw "ellipse 152,108 12,14 0,360" \
  -fill white -draw "circle 108,103 112,103" -draw "circle 156,103 160,103" \
  -fill '#141414' -draw "ellipse 128,142 20,14 0,360" \
  -fill white -draw "ellipse 122,138 6,3 0,360" \
  -stroke '#141414' -strokewidth 6 -fill none \
  -draw "path 'M 128,152 L 128,166 M 106,168 Q 117,178 128,166 Q 139,178 150,168'" \
  dog256.png

cat > dog16.xpm <<'EOF'
/* XPM */
static char *dog16[] = {
"16 16 10 1",
". c None",
"N c #0b2f6b",
"B c #3a82dc",
"L c #5b99e6",
"E c #6b3b1a",
"F c #c98a4b",
"M c #f3dcb6",
"K c #1a1a1a",
"T c #e86a7a",
"W c #ffffff",
"......NNNN......",
"..NNNNBBLLNNNN..",
".NBBBFFFFFFLLLN.",
".NBEEFFFFFFEELN.",
".NEEEFFFFFFEEEN.",
".NEEFKWFFKWFEEN.",
".NEEFKKFFKKFEEN.",
".NEEFFFFFFFFEEN.",
".NEEFFMKKMFFEEN.",
".NBEEMMKKMMEEBN.",
"..NBEMKMMKMEBN..",
"..NBBMMTTMMBBN..",
"...NBBBTTBBBN...",
"....NBBBBBBN....",
".....NNBBNN.....",
".......NN......."
};
EOF

# --- Icon 129: a chocolate-chip cookie with an almond on it.
"$CONVERT" -size 256x256 xc:none \
  -fill '#8a5522' -draw "circle 128,132 128,16" \
  -fill '#d9a35b' -draw "circle 128,126 128,22" \
  -fill '#e9c07e' -draw "ellipse 100,92 48,30 0,360" -fill '#d9a35b' -draw "circle 122,124 122,40" \
  -fill '#4a2a12' -draw "ellipse 72,96 14,12 0,360" -draw "ellipse 176,70 13,11 0,360" \
                  -draw "ellipse 64,166 13,12 0,360" -draw "ellipse 120,208 13,10 0,360" \
                  -draw "ellipse 196,188 12,10 0,360" \
  -fill '#6b3b1a' -draw "translate 136,132 rotate -40 path 'M -70,0 Q 0,-56 70,0 Q 0,56 -70,0 Z'" \
  -fill '#f3d7a2' -draw "translate 136,132 rotate -40 path 'M -60,0 Q 0,-44 60,0 Q 0,44 -60,0 Z'" \
  -fill '#fff4dc' -draw "translate 136,132 rotate -40 ellipse -8,-9 22,7 0,360" \
  -stroke '#c49452' -strokewidth 5 -fill none -draw "translate 136,132 rotate -40 path 'M -40,4 Q 0,-8 40,4'" \
  nut256.png

cat > nut16.xpm <<'EOF'
/* XPM */
static char *nut16[] = {
"16 16 8 1",
". c None",
"R c #8a5522",
"C c #d9a35b",
"H c #e9c07e",
"K c #4a2a12",
"N c #f3d7a2",
"W c #fff4dc",
"D c #6b3b1a",
"................",
".....RRRRRR.....",
"...RRCCHHCCRR...",
"..RCKHHHHCCKCR..",
"..RCHHHCCCCCCR..",
".RCCCCCCCCDDCCR.",
".RKCCCCCCDNNDCR.",
".RCCCCCCDWWNDCR.",
".RCCCCCDWNNDCCR.",
".RCCCCDNNNDCCCR.",
".RCCCCDNNDCCCCR.",
"..RCKCCDDCCCKR..",
"..RCCCCCCCCCCR..",
"...RRCCCKCCRR...",
".....RRRRRR.....",
"................"
};
EOF

# --- Icon 115: a plain program window, drawn pixel-exact at both sizes.
"$CONVERT" -size 32x32 xc:none +antialias \
  -fill '#00000030' -draw "rectangle 3,6 31,30" \
  -fill '#4a4a4a' -draw "rectangle 1,3 29,28" \
  -fill '#ffffff' -draw "rectangle 2,4 28,27" \
  -fill '#1f5fbf' -draw "rectangle 2,4 28,9" \
  -fill '#5b99e6' -draw "rectangle 2,4 28,5" \
  -fill '#ffffff' -draw "rectangle 24,6 26,8" -draw "rectangle 20,8 22,8" \
  -fill '#e6e6e6' -draw "rectangle 2,10 28,11" \
  -fill '#b4b4b4' -draw "rectangle 5,14 21,15" -draw "rectangle 5,18 24,19" -draw "rectangle 5,22 16,23" \
  win32.png
"$CONVERT" -size 16x16 xc:none +antialias \
  -fill '#00000030' -draw "rectangle 2,4 15,15" \
  -fill '#4a4a4a' -draw "rectangle 0,2 14,14" \
  -fill '#ffffff' -draw "rectangle 1,3 13,13" \
  -fill '#1f5fbf' -draw "rectangle 1,3 13,5" \
  -fill '#ffffff' -draw "rectangle 11,4 12,4" \
  -fill '#b4b4b4' -draw "rectangle 3,8 10,8" -draw "rectangle 3,10 11,10" \
  win16.png

# Each icon file holds 32-bit images with alpha (and their AND masks, which
# ImageMagick derives from the alpha) plus palette images with a hard mask for
# displays and systems that cannot show 32-bit icons.
small() { "$CONVERT" "$1" -filter Catrom -resize "$2x$2" "$3"; }
lowcolour() { echo "( $1 -channel A -threshold 50% +channel -colors 255 -type PaletteMatte )"; }

small dog256.png 32 dog32.png
small dog256.png 48 dog48.png
"$CONVERT" dog16.xpm dog16.png
small nut256.png 32 nut32.png
small nut256.png 48 nut48.png
"$CONVERT" nut16.xpm nut16.png

# shellcheck disable=SC2046
"$CONVERT" dog16.png dog32.png dog48.png $(lowcolour dog16.png) $(lowcolour dog32.png) -depth 8 "$here/sentrovia.ico"
# shellcheck disable=SC2046
"$CONVERT" win16.png win32.png $(lowcolour win16.png) $(lowcolour win32.png) -depth 8 "$here/noicon.ico"
# shellcheck disable=SC2046
"$CONVERT" nut16.png nut32.png nut48.png $(lowcolour nut16.png) $(lowcolour nut32.png) -depth 8 "$here/nut.ico"

# --- Bitmap 117: the watchdog on a soft sky, framed, as a plain 24-bit BMP.
"$CONVERT" -size 80x60 radial-gradient:'#ffffff'-'#bcd6f5' \
  \( dog256.png -filter Catrom -resize 54x54 \) -gravity center -geometry +0+1 -composite \
  -fill none -stroke '#7fa6d8' -draw "rectangle 0,0 79,59" \
  -alpha off -type TrueColor BMP3:"$here/about.bmp"

# --- Wave 113: G5 then C6, each a sine with a quiet octave above it and a
# fading tail, the second entering while the first dies away; 0.4 s in all.
# -R keeps the dither repeatable, so the file only changes when this does.
tone() { out=$1; shift; sox -n -R -r 22050 -c 1 -b 16 "$out" "$@"; }
tone g1.wav synth 0.26 sine 784 fade l 0.004 0.26 0.25
tone g2.wav synth 0.26 sine 1568 fade l 0.004 0.26 0.25 vol 0.25
tone c1.wav synth 0.26 sine 1046.5 fade l 0.004 0.26 0.25 pad 0.14
tone c2.wav synth 0.26 sine 2093 fade l 0.004 0.26 0.25 vol 0.25 pad 0.14
sox -R -m g1.wav g2.wav c1.wav c2.wav -r 22050 -c 1 -b 16 -e signed-integer "$here/sound.wav" trim 0 0.40 gain -n -3

echo "make-art.sh: wrote sentrovia.ico noicon.ico nut.ico about.bmp sound.wav in $here"
