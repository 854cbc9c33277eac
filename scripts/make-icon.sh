#!/usr/bin/env bash
# Makes app/win/quelvar.ico, the Windows program's icon: the wizard's header
# picture (two files joined into one, app/gui/pictures.cpp's HeaderPicture)
# drawn with ImageMagick at 256 pixels and shrunk to 16, 20, 24, 32, 40, 48,
# 64 and 256. Run again after changing the drawing; the .ico is committed.
set -euo pipefail
cd "$(dirname "$0")/.."
# ImageMagick's convert (by its versioned name first: a plain "convert" earlier
# in PATH may be another program).
im() { "$(command -v magick || command -v convert-im6.q16 || command -v convert)" "$@"; }
command -v convert-im6.q16 >/dev/null || command -v magick >/dev/null ||
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq imagemagick >/dev/null; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work/icon.mvg" <<'PY'
import sys
S = 256.0
deep, sea, leaf, corner = "#104e5c", "#1c808c", "#78c496", "#dce8ea"
out = ["viewbox 0 0 256 256", "fill none", "stroke none"]

def darker(c):
    r, g, b = (int(c[i:i + 2], 16) for i in (1, 3, 5))
    return "#%02x%02x%02x" % (int(r / 1.3), int(g / 1.3), int(b / 1.3))

def sheet(x, y, w, h, ink):
    fold = w * 0.28
    out.append(f"stroke '{darker(ink)}' stroke-width 2 fill white")
    out.append(f"polygon {x},{y} {x + w - fold},{y} {x + w},{y + fold} {x + w},{y + h} {x},{y + h}")
    out.append(f"fill '{corner}'")
    out.append(f"polygon {x + w - fold},{y} {x + w - fold},{y + fold} {x + w},{y + fold}")
    out.append(f"fill none stroke '{ink}' stroke-width {max(2, h / 20):.1f} stroke-linecap round")
    m = w * 0.16
    for i in range(5):
        ly = y + fold + (i + 1) * (h - fold - m) / 6
        out.append(f"line {x + m},{ly} {x + w - m - (i % 2) * w * 0.18},{ly}")

def flow(fx, fy, tx, ty, width):
    cx, cy = fx, (fy + ty) / 2
    out.append(f"fill none stroke '{leaf}' stroke-width {width} stroke-linecap round")
    out.append(f"path 'M {fx},{fy} Q {cx},{cy} {tx},{ty}'")
    out.append(f"stroke none fill '{leaf}'")
    out.append(f"polygon {tx},{ty + width * 1.8} {tx - width * 1.6},{ty - width * 0.8} {tx + width * 1.6},{ty - width * 0.8}")

out.append(f"fill '{deep}' roundrectangle 0,0 255,255 {S * 0.18},{S * 0.18}")
w = S * 0.24; h = w * 1.3
sheet(S * 0.10, S * 0.08, w, h, sea)
sheet(S * 0.66, S * 0.08, w, h, sea)
ml, mt, mw = S * 0.34, S * 0.46, S * 0.32
f = S / 30
flow(S * 0.22, S * 0.08 + h + f, ml + f, mt + S * 0.06, f)
flow(S * 0.78, S * 0.08 + h + f, ml + mw - f, mt + S * 0.06, f)
sheet(ml, mt, mw, mw * 1.3, deep)
open(sys.argv[1], "w").write("\n".join(out) + "\n")
PY

im -size 256x256 xc:none -draw "$(cat "$work/icon.mvg")" "$work/icon-256.png"
sizes=()
for s in 16 20 24 32 40 48 64; do
  im "$work/icon-256.png" -filter Lanczos -resize ${s}x${s} "$work/icon-$s.png"
  sizes+=("$work/icon-$s.png")
done
im "${sizes[@]}" "$work/icon-256.png" app/win/quelvar.ico
echo app/win/quelvar.ico
