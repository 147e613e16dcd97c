#!/usr/bin/env bash
# Draws Cinevarta's icon: a film reel with a magnifying glass over it, in the cream and pale
# yellow of the program's window. The same shapes are written once as SVG (the scalable icon)
# and once as ImageMagick vector graphics, rendered large and scaled down to the hicolor PNG
# sizes, so the two never drift apart. Needs ImageMagick's convert; the results are kept in
# packaging/icons/ and installed from there, so building the program does not need this script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/icons
convert=${CONVERT:-/usr/bin/convert}
mkdir -p "$out"

# Shapes on a 256-unit square, back to front: kind fill stroke stroke-width coordinates...
#   circle  cx cy r        ring  cx cy r (no fill)      line  x1 y1 x2 y2 (round caps)
shapes=(
  "circle #34303f #1f1b28 6 104 110 88"   # the reel
  "circle #fff5ce none 0 104 56 20"       # its five windows, cream
  "circle #fff5ce none 0 155 93 20"
  "circle #fff5ce none 0 136 154 20"
  "circle #fff5ce none 0 72 154 20"
  "circle #fff5ce none 0 53 93 20"
  "circle #1f1b28 #fff5ce 5 104 110 11"   # the hub
  "line none #5a3a1e 26 200 200 238 238"  # the glass's handle
  "line none #8a5a2e 14 200 200 236 236"
  "circle #ffffbf #b0302a 14 166 166 50"  # the lens, pale yellow behind a red rim
  "circle #ffffff none 0 150 146 12"      # a glint
)

svg=$out/cinevarta.svg
mvg=$(mktemp --suffix=.mvg)
trap 'rm -f "$mvg"' EXIT
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">'
  echo '  <title>Cinevarta</title>'
} >"$svg"
echo "viewbox 0 0 256 256" >"$mvg"
for s in "${shapes[@]}"; do
  read -r kind fill stroke width a b c d <<<"$s"
  if [ "$kind" = circle ]; then
    [ "$fill" = "#ffffbf" ] && op=' fill-opacity="0.85"' || op=''
    echo "  <circle cx=\"$a\" cy=\"$b\" r=\"$c\" fill=\"$fill\" stroke=\"$stroke\" stroke-width=\"$width\"$op/>" >>"$svg"
    mvgop=1; [ "$fill" = "#ffffbf" ] && mvgop=0.85
    printf 'push graphic-context\nfill %s\nfill-opacity %s\nstroke %s\nstroke-width %s\ncircle %s,%s %s,%s\npop graphic-context\n' \
      "$fill" "$mvgop" "$stroke" "$width" "$a" "$b" "$((a + c))" "$b" >>"$mvg"
  else
    echo "  <line x1=\"$a\" y1=\"$b\" x2=\"$c\" y2=\"$d\" stroke=\"$stroke\" stroke-width=\"$width\" stroke-linecap=\"round\"/>" >>"$svg"
    printf 'push graphic-context\nfill none\nstroke %s\nstroke-width %s\nstroke-linecap round\nline %s,%s %s,%s\npop graphic-context\n' \
      "$stroke" "$width" "$a" "$b" "$c" "$d" >>"$mvg"
  fi
done
echo '</svg>' >>"$svg"

big=$(mktemp --suffix=.png)
trap 'rm -f "$mvg" "$big"' EXIT
"$convert" -size 1024x1024 xc:none -draw "scale 4,4 $(grep -v '^viewbox' "$mvg" | tr '\n' ' ')" "$big"
for n in 16 22 24 32 48 64 128 256; do
  "$convert" "$big" -filter Lanczos -resize "${n}x${n}" -strip "PNG32:$out/cinevarta-$n.png"
done
echo "icons written to $out"
