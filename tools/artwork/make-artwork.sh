#!/usr/bin/env bash
# Draws the launcher's PNG artwork (src/res/png/*.png) with ImageMagick. Run by hand after
# changing a picture; the build only uses the committed PNGs:
#   bash tools/artwork/make-artwork.sh            (writes src/res/png/)
#   bash tools/artwork/make-artwork.sh OUT_DIR    (writes elsewhere, e.g. to compare)
# Needs `convert` (imagemagick) and the fonts of scripts/setup.sh: WenQuanYi Zen Hei for the
# Chinese captions, DejaVu for the Latin lettering. Everything is drawn here from primitives;
# random details (embers, grain) use fixed seeds, so a run gives the same pictures again.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
out="${1:-$here/src/res/png}"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

CJK=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
SERIF=/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf
SANS=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
for f in "$CJK" "$SERIF" "$SANS"; do [ -f "$f" ] || { echo "missing font $f (scripts/setup.sh)" >&2; exit 1; }; done

# Glows fade out to fully transparent rather than leaving an alpha of 1 or 2 everywhere.
save_rgba() { convert "$1" -strip -channel A -level 1.5%,100% +channel -define png:color-type=6 "PNG32:$2"; }
save_rgb() { convert "$1" -strip -alpha off -define png:color-type=2 "PNG24:$2"; }

# --- 130-133: close and minimise glyphs, 24 x 24 -----------------------------------------
glyph() {  # name colour glow draw...
    local name="$1" colour="$2" glow="$3"; shift 3
    convert -size 24x24 xc:none -stroke "$colour" -strokewidth 2.4 -fill none -draw "$*" \
        "$work/$name-shape.png"
    if [ "$glow" = none ]; then
        cp "$work/$name-shape.png" "$work/$name.png"
    else
        convert -size 24x24 xc:none -stroke "$glow" -strokewidth 5 -fill none -draw "$*" \
            -channel A -blur 0x2.2 -evaluate multiply 0.85 +channel \
            "$work/$name-shape.png" -compose over -composite "$work/$name.png"
    fi
}
cross="stroke-linecap round line 7,7 17,17 line 17,7 7,17"
bar="stroke-linecap round line 6,15 18,15"
glyph close-normal '#a9adb5' none "$cross"
glyph close-hover '#ff4a32' '#ff2a10' "$cross"
glyph min-normal '#a9adb5' none "$bar"
glyph min-hover '#ff4a32' '#ff2a10' "$bar"
save_rgba "$work/close-normal.png" "$out/130.png"
save_rgba "$work/close-hover.png" "$out/131.png"
save_rgba "$work/min-normal.png" "$out/132.png"
save_rgba "$work/min-hover.png" "$out/133.png"

# --- 139/149/140/150: button faces, 136 x 48 ---------------------------------------------
face() {  # out top bottom border shine glow
    local target="$1" top="$2" bottom="$3" border="$4" shine="$5" glow="$6"
    convert -size 132x44 "gradient:$top-$bottom" \
        \( -size 132x44 xc:none -fill white -draw "roundrectangle 0,0 131,43 7,7" \) \
        -compose copy_opacity -composite "$work/face-body.png"
    # glassy upper half and a lit top edge
    convert -size 132x44 xc:none -fill "rgba(255,255,255,0.16)" \
        -draw "roundrectangle 2,2 129,21 6,6" -channel A -blur 0x1 +channel \
        -stroke "$shine" -strokewidth 1 -fill none -draw "line 8,1.5 123,1.5" \
        "$work/face-shine.png"
    convert "$work/face-body.png" "$work/face-shine.png" -compose over -composite \
        -fill none -stroke "$border" -strokewidth 1.4 -draw "roundrectangle 0.7,0.7 131.3,43.3 7,7" \
        "$work/face-top.png"
    convert -size 136x48 xc:none "$work/face-top.png" -geometry +2+2 -compose over -composite \
        "$work/face-flat.png"
    if [ "$glow" = none ]; then
        convert -size 136x48 xc:none \( "$work/face-flat.png" -channel RGB -evaluate set 0 +channel \
            -channel A -evaluate multiply 0.55 -blur 0x1.5 +channel \) -geometry +0+1 -compose over -composite \
            "$work/face-flat.png" -compose over -composite "$target"
    else
        convert -size 136x48 xc:none -fill "$glow" -draw "roundrectangle 2,2 133,45 8,8" \
            -channel A -blur 0x2 +channel "$work/face-flat.png" -compose over -composite "$target"
    fi
}
face "$work/orange.png" '#f9a640' '#b84a0c' '#5c1f04' 'rgba(255,236,180,0.9)' none
face "$work/orange-hover.png" '#ffc560' '#dc6416' '#7a2a06' 'rgba(255,248,220,1)' 'rgba(255,150,40,0.85)'
face "$work/grey.png" '#6e7682' '#2c3038' '#111316' 'rgba(210,220,235,0.55)' none
face "$work/grey-hover.png" '#8c95a3' '#3c424c' '#1a1d22' 'rgba(230,238,250,0.8)' 'rgba(170,190,220,0.6)'
save_rgba "$work/orange.png" "$out/139.png"
save_rgba "$work/orange-hover.png" "$out/149.png"
save_rgba "$work/grey.png" "$out/140.png"
save_rgba "$work/grey-hover.png" "$out/150.png"

# --- 141: progress fill, 520 x 6, opaque --------------------------------------------------
convert \( -size 6x260 gradient:'#c4270f-#4a0805' -rotate 90 \) \
    \( -size 6x260 gradient:'#ffa22a-#c4270f' -rotate 90 \) +append \
    \( -size 1x6 gradient:'#ffffff-#8a8a8a' -scale 520x6! \) -compose multiply -composite \
    -fill 'rgba(255,230,170,0.45)' -draw 'line 0,0 519,0' "$work/fill.png"
save_rgb "$work/fill.png" "$out/141.png"

# --- 138: message-box frame, 384 x 198 ------------------------------------------------------
frame_poly="polygon 16,4 368,4 380,16 380,182 368,194 16,194 4,182 4,16"
inner_poly="polygon 22,10 362,10 374,22 374,176 362,188 22,188 10,176 10,22"
# The glow runs along the inside of the border: outside its outline a window picture is either
# opaque or clear, so it looks the same with or without a desktop compositor.
convert -size 384x198 xc:none -fill none -stroke '#ff3412' -strokewidth 7 -draw "$frame_poly" \
    -channel A -blur 0x4 +channel \
    \( -size 384x198 xc:none -fill white -draw "$frame_poly" \) -compose dst_in -composite \
    "$work/frame-glow.png"
convert -size 384x198 radial-gradient:'#2a1d1f-#0b0a0d' \
    \( -size 384x198 xc:gray50 -seed 7 +noise Gaussian -colorspace gray -blur 0x0.6 \
       -evaluate multiply 0.08 \) -compose plus -composite \
    \( -size 384x198 xc:none -fill white -draw "$frame_poly" \) -compose copy_opacity -composite \
    "$work/frame-body.png"
convert "$work/frame-body.png" "$work/frame-glow.png" -compose over -composite \
    -fill none -stroke '#8c2a16' -strokewidth 2 -draw "$frame_poly" \
    -stroke 'rgba(214,150,80,0.55)' -strokewidth 1 -draw "$inner_poly" \
    -stroke 'rgba(255,120,60,0.35)' -strokewidth 1 -draw "line 60,5 324,5" \
    -fill '#c98a4a' -stroke none \
    -draw 'polygon 10,22 22,10 26,14 14,26' -draw 'polygon 374,22 362,10 358,14 370,26' \
    -draw 'polygon 10,176 22,188 26,184 14,172' -draw 'polygon 374,176 362,188 358,184 370,172' \
    -fill 'rgba(201,138,74,0.5)' -draw 'polygon 172,188 192,182 212,188 192,194' \
    "$work/frame.png"
save_rgba "$work/frame.png" "$out/138.png"

# --- 156/157: community-group cartridge, 140 x 40 -----------------------------------------
cartridge="polygon 14,3 126,3 137,20 126,37 14,37 3,20"
group() {  # out top bottom border textcolour glow
    local target="$1" top="$2" bottom="$3" border="$4" text="$5" glow="$6"
    convert -size 140x40 "gradient:$top-$bottom" \
        \( -size 140x40 xc:none -fill white -draw "$cartridge" \) -compose copy_opacity -composite \
        -fill none -stroke "$border" -strokewidth 1.5 -draw "$cartridge" \
        -stroke 'rgba(255,255,255,0.25)' -strokewidth 1 -draw 'line 16,5 124,5' \
        "$work/group-body.png"
    # a small emblem: two heads and shoulders
    convert "$work/group-body.png" -fill "$text" -stroke none \
        -draw 'circle 24,16 24,12.5' -draw 'ellipse 24,27 7,4.5 180,360' \
        -fill 'rgba(255,255,255,0.55)' -draw 'circle 31,15 31,12' -draw 'ellipse 32,25 6,4 180,360' \
        -font "$CJK" -pointsize 15 -fill 'rgba(0,0,0,0.6)' -annotate +44+26 '加入玩家群' \
        -fill "$text" -annotate +43+25 '加入玩家群' "$work/group-face.png"
    if [ "$glow" = none ]; then
        cp "$work/group-face.png" "$target"
    else
        convert -size 140x40 xc:none -fill "$glow" -draw "$cartridge" -channel A -blur 0x2.5 +channel \
            "$work/group-face.png" -compose over -composite "$target"
    fi
}
group "$work/group.png" '#7a2412' '#34100a' '#d08a48' '#ffe2b0' none
group "$work/group-hover.png" '#a8361a' '#4e160c' '#ffc070' '#fff4dc' 'rgba(255,140,40,0.9)'
save_rgba "$work/group.png" "$out/156.png"
save_rgba "$work/group-hover.png" "$out/157.png"

# --- 137: main artwork, 780 x 340 -------------------------------------------------------------
# The panel (its outline) holds a burning dusk over ruined spires; armoured vehicles roll out
# of its lower left edge, the title logo breaks its top edge. The foreground window covers
# the panel from (88, 50) to (766, 290): its progress bar lies in the groove at y 252..266.
panel="polygon 96,40 300,40 318,30 470,30 488,40 752,40 772,60 772,296 752,312 300,312 282,322 120,322 70,292 70,66"
convert -size 780x340 gradient:'#3b120b-#0a080c' \
    \( -size 780x340 radial-gradient:'rgba(255,120,40,0.85)-rgba(255,60,10,0)' -geometry +180+-170 \) \
    -compose screen -composite \
    \( -size 780x340 xc:none -fill '#140d12' \
       -draw 'polygon 70,230 150,170 210,196 280,140 340,180 420,120 470,160 540,110 600,150 680,100 772,150 772,340 70,340' \
       -fill '#0b080b' \
       -draw 'polygon 70,260 130,224 190,240 260,200 330,236 400,190 480,226 560,180 640,220 720,186 772,210 772,340 70,340' \
       -draw 'rectangle 520,70 534,200 polygon 516,70 527,40 538,70' \
       -draw 'rectangle 560,96 572,200 polygon 556,96 566,72 576,96' \
       -draw 'rectangle 608,84 618,200 polygon 604,84 613,58 622,84' \
       -fill 'rgba(255,130,50,0.35)' -draw 'rectangle 524,110 528,118 rectangle 564,130 568,137' \
    \) -compose over -composite \
    \( -size 780x340 xc:black -seed 11 +noise Random -colorspace gray -threshold 99.6% \
       -morphology dilate disk:1 -blur 0x0.8 -auto-level +level-colors black,'#ffb050' \) -compose screen -composite \
    \( -size 780x120 gradient:'rgba(0,0,0,0)-rgba(4,3,6,0.9)' -geometry +0+220 \) -compose over -composite \
    "$work/scene.png"
convert "$work/scene.png" \( -size 780x340 xc:none -fill white -draw "$panel" \) \
    -compose copy_opacity -composite "$work/panel.png"

# inner glow and bronze rim of the panel (crisp outside, as the frame above)
convert -size 780x340 xc:none -fill none -stroke '#ff4414' -strokewidth 10 -draw "$panel" \
    -channel A -blur 0x6 +channel \
    \( -size 780x340 xc:none -fill white -draw "$panel" \) -compose dst_in -composite \
    "$work/panel-glow.png"
convert "$work/panel.png" "$work/panel-glow.png" -compose over -composite \
    -fill none -stroke '#6e2a14' -strokewidth 3 -draw "$panel" \
    -stroke 'rgba(230,160,90,0.6)' -strokewidth 1 -draw "$panel" "$work/base.png"

# promotional panel with three reward icons
convert -size 250x120 xc:none -fill 'rgba(8,6,10,0.72)' -stroke 'rgba(200,140,70,0.75)' \
    -strokewidth 1 -draw 'roundrectangle 0.5,0.5 249.5,119.5 6,6' \
    -font "$CJK" -pointsize 17 -fill '#ffd38a' -stroke none -annotate +14+26 '开服豪礼 · 登录即送' \
    -stroke 'rgba(200,140,70,0.6)' -draw 'line 14,35 236,35' "$work/promo.png"
slot() {  # x icon-draw... : a framed square slot with an icon
    local x="$1"; shift
    convert -size 64x64 radial-gradient:'#5a2a14-#1a0c08' \
        -fill none -stroke '#d9a050' -strokewidth 2 -draw 'rectangle 1,1 62,62' \
        -stroke 'rgba(255,220,150,0.5)' -strokewidth 1 -draw 'rectangle 4,4 59,59' \
        -stroke none "$@" "$work/slot.png"
    convert "$work/promo.png" "$work/slot.png" -geometry "+$x+44" -compose over -composite "$work/promo.png"
}
slot 18 -fill '#e8e2d6' -draw 'polygon 31,10 35,10 35,40 31,40' -fill '#c89038' \
    -draw 'rectangle 22,40 44,44' -draw 'rectangle 31,44 35,54' -fill '#f0c060' -draw 'circle 33,56 33,53'
slot 93 -fill '#8a1e14' -draw 'polygon 32,10 50,17 48,36 32,52 16,36 14,17' \
    -fill none -stroke '#f0c060' -strokewidth 2 -draw 'polygon 32,10 50,17 48,36 32,52 16,36 14,17' \
    -stroke none -fill '#f0c060' -draw 'polygon 32,20 35,28 43,28 37,33 39,41 32,36 25,41 27,33 21,28 29,28'
slot 168 -fill '#3fd0ff' -draw 'polygon 32,10 48,26 32,54 16,26' -fill '#a8ecff' \
    -draw 'polygon 32,10 40,26 32,54 24,26' -fill 'rgba(255,255,255,0.8)' -draw 'polygon 32,10 36,20 32,26 28,20'
convert "$work/base.png" "$work/promo.png" -geometry +112+116 -compose over -composite "$work/base.png"

# shade behind the tips (right) and the groove of the progress bar
convert "$work/base.png" \
    \( -size 320x70 xc:none -fill 'rgba(0,0,0,0.45)' -draw 'roundrectangle 0,0 319,69 10,10' \
       -channel A -blur 0x6 +channel \) -geometry +380+186 -compose over -composite \
    -fill '#050405' -stroke '#3a1a10' -strokewidth 1 -draw 'roundrectangle 106.5,249.5 629.5,268.5 4,4' \
    -stroke 'rgba(255,150,80,0.25)' -draw 'line 110,268.5 626,268.5' \
    -fill 'rgba(0,0,0,0.6)' -stroke none -draw 'rectangle 108,251 628,253' "$work/base.png"

# armoured vehicles rolling out of the lower left edge
tank() {  # x y scale
    local x="$1" y="$2" s="$3"
    convert -size 200x90 xc:none \
        -fill '#17141a' -stroke '#ff8a3a' -strokewidth 1 \
        -draw 'polygon 10,58 30,40 150,40 176,50 186,62 168,76 26,76' \
        -draw 'polygon 56,40 66,22 118,20 132,28 132,40' \
        -draw 'rectangle 128,27 198,31' \
        -stroke none -fill '#0c0a0d' -draw 'roundrectangle 20,62 176,86 12,12' \
        -fill '#2a2328' -draw 'circle 36,74 36,80 circle 60,74 60,80 circle 84,74 84,80 circle 108,74 108,80 circle 132,74 132,80 circle 156,74 156,80' \
        -fill 'rgba(255,150,60,0.55)' -draw 'rectangle 64,24 114,26' \
        -resize "$s%" "$work/tank.png"
    convert "$work/base.png" "$work/tank.png" -geometry "+$x+$y" -compose over -composite "$work/base.png"
}
tank 6 262 82
tank 118 276 70

# title logo breaking the top edge; its glow stays inside the panel
convert -size 420x110 xc:none -font "$SERIF" -pointsize 62 -kerning 6 \
    -fill '#ff4a10' -annotate +24+74 'OMBRIX' -channel A -blur 0x7 +channel "$work/logo-glow.png"
convert -size 420x110 xc:none -font "$SERIF" -pointsize 62 -kerning 6 \
    -fill '#1a0a06' -annotate +27+77 'OMBRIX' "$work/logo-shadow.png"
convert -size 420x110 gradient:'#fff3c8-#c0701c' \
    \( -size 420x110 xc:none -font "$SERIF" -pointsize 62 -kerning 6 -fill white -annotate +24+74 'OMBRIX' \) \
    -compose copy_opacity -composite "$work/logo-face.png"
convert -size 780x340 xc:none "$work/logo-glow.png" -geometry +92+-2 -compose over -composite \
    \( -size 780x340 xc:none -fill white -draw "$panel" \) -compose dst_in -composite \
    -crop 420x110+92+0 +repage -gravity south -background none -extent 420x110 -gravity northwest \
    "$work/logo-glow-in.png"
convert "$work/logo-glow-in.png" "$work/logo-shadow.png" -compose over -composite \
    "$work/logo-face.png" -compose over -composite \
    -font "$SERIF" -pointsize 62 -kerning 6 -fill none -stroke 'rgba(90,30,8,0.9)' -strokewidth 1 \
    -annotate +24+74 'OMBRIX' \
    -font "$CJK" -pointsize 18 -stroke none -fill 'rgba(0,0,0,0.7)' -annotate +62+101 '暗 影 纪 元  ·  永 夜 战 场' \
    -fill '#e9c68a' -annotate +61+100 '暗 影 纪 元  ·  永 夜 战 场' "$work/logo.png"
convert "$work/base.png" "$work/logo.png" -geometry +92+-2 -compose over -composite "$work/base.png"

# portal logo in the lower right corner
convert -size 130x36 xc:none -fill none -stroke '#d9a050' -strokewidth 2 -draw 'circle 16,18 16,5' \
    -stroke '#ff7a30' -strokewidth 1.5 -draw 'arc 7,9 25,27 200,340' \
    -stroke none -fill '#ffd38a' -draw 'polygon 16,9 20,18 16,27 12,18' \
    -font "$SANS" -pointsize 13 -fill '#d8c3a0' -annotate +34+17 'CORVANE' \
    -font "$CJK" -pointsize 11 -fill '#c0ad92' -annotate +34+32 '游戏平台' "$work/portal.png"
convert "$work/base.png" "$work/portal.png" -geometry +634+277 -compose over -composite "$work/base.png"
save_rgba "$work/base.png" "$out/137.png"

# --- carried but unused: 142 battle picture, 143 dark bar, 155 glowing ring ---------------------
convert "$work/scene.png" -crop 709x325+40+10 +repage "$work/battle.png"
save_rgba "$work/battle.png" "$out/142.png"
convert -size 467x16 xc:none -fill '#0a080b' -stroke '#3a1a10' -draw 'roundrectangle 0.5,0.5 466.5,15.5 6,6' \
    "$work/bar.png"
save_rgba "$work/bar.png" "$out/143.png"
convert -size 80x80 xc:none -fill none -stroke '#ff7a20' -strokewidth 6 -draw 'circle 40,40 40,14' \
    -channel A -blur 0x4 +channel -stroke '#ffd08a' -strokewidth 2 -draw 'circle 40,40 40,14' "$work/ring.png"
save_rgba "$work/ring.png" "$out/155.png"

echo "artwork written to $out"
