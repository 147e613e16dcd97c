#!/usr/bin/env bash
# Drives cinevarta-demo on a real X server (Xvfb) under a real window manager (openbox) the way a
# person does, with xdotool, and checks what only a real display shows: both windows' frames
# centred on the screen and the actions each frame allows (xprop); real keys and clicks (a title
# typed and Enter, a second hit clicked at the right end of its row, IMDb chosen and "Buscar"
# clicked, a click lost while the busy window shows, a favourite added and saved, the exit
# button); the card's title handed to another program through the clipboard (xclip); by pixel
# colour, that the card keeps its look while the busy window locks the main window, and that
# every text of the card and the lists contrasts with its background at 4.5 : 1 or more under a
# real style and palette. The program then runs again under dark desktops, driven by keys alone:
# KDE's Breeze Dark palette (read by Qt's own KDE theme) and the Adwaita-Dark style: a search,
# Tab to the titles list, Down, Return for the second hit, Alt+F4; the same contrasts are
# measured, and the focused list's mark is looked for. Last, the main window's test runs on the
# same display, so the credit is measured with the font the program really gets there. What the
# card holds, the requests' order and the favourites file's bytes are checked in-process
# (tests/sources, tests/whole, tests/favourites). A screenshot of the screen is left in the
# output folder after every step.
#
# The sample server runs on a free port behind x11_slow_proxy, which listens on the port compiled
# into the demo and holds back the first search page and the IMDb film pages for a moment, so the
# busy window can be photographed and a click made meanwhile can be shown to be lost.
#
# Usage: person_run.sh <cinevarta-demo> <sample-server> <x11_slow_proxy> <sample-site> <port>
#                      <output folder> <test_app>
# Exits 77 (the test is skipped) when Xvfb, openbox, xdotool, xclip, xprop, xwininfo or
# ImageMagick is missing or no X server can be started; 1 on any failed check.
set -uo pipefail
demo=${1:?demo}; server=${2:?server}; proxy=${3:?proxy}; site=${4:?site}; port=${5:?port}
out=${6:?output}; app_tests=${7:?test_app}
# The program runs in its own working folder: every path is made absolute first.
mkdir -p "$out"
demo=$(realpath "$demo"); server=$(realpath "$server"); proxy=$(realpath "$proxy")
site=$(realpath "$site"); out=$(realpath "$out"); app_tests=$(realpath "$app_tests")

source "$(dirname "$0")/session.sh"
for tool in Xvfb openbox xdotool xclip xprop xwininfo import convert compare; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
done
[ -x "$demo" ] || { echo "FAIL: no demo program at $demo"; exit 1; }
[ -x "$server" ] || { echo "FAIL: no sample server at $server"; exit 1; }
[ -x "$proxy" ] || { echo "FAIL: no proxy at $proxy"; exit 1; }

rm -rf "$out"
mkdir -p "$out/work"
work=$out/work
log=$out/requests.log
# --- The X server ------------------------------------------------------------------------------
start_xvfb 1280x1024
echo "X server on $DISPLAY"

# The window manager, with its own home so that nothing of the machine's user is read or written.
mkdir -p "$out/home"
HOME=$out/home XDG_CONFIG_HOME=$out/home/.config XDG_CACHE_HOME=$out/home/.cache \
  openbox --sm-disable >"$out/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_for "the window manager (openbox)" wm_running ||
  { echo "--- openbox: $(tail -n 5 "$out/openbox.log")"; exit 1; }

# Where a window's client area stands on the screen, and the frame the window manager put
# around it (_NET_FRAME_EXTENTS: left, right, top, bottom).
client_place() {  # window id: "x y w h"
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                           /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
frame_place() {  # window id: "x y w h" of the outer frame; fails while the frame is not known
  local x y w h l r t b
  IFS=', ' read -r l r t b <<<"$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p')"
  [ -n "$b" ] || return 1
  read -r x y w h <<<"$(client_place "$1")"
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}
# The frame in the middle of the screen, within 2 pixels each way.
frame_centred() {  # window id
  local place x y w h dx dy
  place=$(frame_place "$1") || return 1
  read -r x y w h <<<"$place"
  dx=$((x - (screen_w - w) / 2)); dy=$((y - (screen_h - h) / 2))
  [ "${dx#-}" -le 2 ] && [ "${dy#-}" -le 2 ]
}
# The actions the window manager lets a person take on a window, without their common prefix.
allowed_actions() {  # window id
  xprop -id "$1" _NET_WM_ALLOWED_ACTIONS | sed -n 's/.*= //p' | tr -d ' ' | tr ',' '\n' |
    sed 's/^_NET_WM_ACTION_//' | sort | tr '\n' ' '
}

# The darkest grey (0 black, 255 white) of a part of a screenshot, in the main window's client
# coordinates.
darkest() {  # png x y w h
  convert "$1" -crop "$4x$5+$((main_x + $2))+$((main_y + $3))" +repage -colorspace Gray \
    -format '%[fx:int(255*minima+0.5)]' info:
}
# The contrast ratio (by the usual accessibility rule, 1 to 21) of the text in a part of a
# screenshot, in client coordinates: the part's most common colour is the background, and the
# text's colour the one (of 3 pixels or more) whose luminance lies farthest from it.
contrast() {  # png x y w h
  convert "$1" -crop "$4x$5+$((main_x + $2))+$((main_y + $3))" +repage -alpha off -depth 8 \
    -format %c histogram:info:- |
    sed -E 's/^ *([0-9]+): *\( *([0-9]+), *([0-9]+), *([0-9]+).*/\1 \2 \3 \4/' |
    awk 'function lin(c) { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ^ 2.4 }
         { n[NR] = $1; l[NR] = 0.2126 * lin($2) + 0.7152 * lin($3) + 0.0722 * lin($4)
           if ($1 > most) { most = $1; bg = l[NR] } }
         END { far = bg
               for (i = 1; i <= NR; i++)
                 if (n[i] >= 3 && (l[i] - bg) ^ 2 > (far - bg) ^ 2) far = l[i]
               hi = far > bg ? far : bg; lo = far > bg ? bg : far
               printf "%.2f\n", (hi + 0.05) / (lo + 0.05) }'
}
# Every text of the card and the lists read at 4.5 : 1 or more in a screenshot; prints each ratio
# and keeps the lowest in lowest_contrast.
check_contrast() {  # png desktop
  local part ratio line=""
  lowest_contrast=21
  for part in card_frame_title title_frame_title title_field_text actors_text synopsis_text \
              option_label search_frame_title selected_row other_row titles_heading \
              favourites_heading; do
    declare -n box=$part
    ratio=$(contrast "$1" "${box[@]}")
    unset -n box
    line+=" $part $ratio"
    awk -v r="$ratio" 'BEGIN { exit !(r >= 4.5) }' ||
      fail "$part reads at $ratio : 1 under the $2"
    awk -v r="$ratio" -v l="$lowest_contrast" 'BEGIN { exit !(r < l) }' && lowest_contrast=$ratio
  done
  echo "contrast under the $2:$line; lowest $lowest_contrast"
}

# --- The sample server, and the slow front on the demo's port --------------------------------------
if answers "$port"; then
  echo "FAIL: something already listens on port $port (a running scripts/run.sh?)"
  exit 1
fi
site_port=$(free_port) || { echo "FAIL: no free port for the sample server"; exit 1; }
start_sample_server "$server" "$site" "$site_port"
delay_ms=4000
"$proxy" "$port" "$site_port" "$delay_ms" "/bus/resu.php" "/title/" >"$out/proxy.log" 2>&1 &
pids+=($!)
wait_for "the proxy on port $port" answers "$port" || exit 1

# --- The program --------------------------------------------------------------------------------
(cd "$work" && unset QT_QPA_PLATFORM && exec "$demo" >"$out/demo.log" 2>&1) &
demo_pid=$!
pids+=($demo_pid)

main_window() { xdotool search --onlyvisible --name '^Cinevarta - v0\.9\.4\.b$' | head -n1; }
main_window_shown() { [ -n "$(main_window)" ]; }
# Finds the main window, waits for its frame to stand centred, and gives it the focus: the run
# does not rely on where the focus or the pointer happen to be when it maps.
take_main_window() {
  wait_for "the main window titled 'Cinevarta - v0.9.4.b'" main_window_shown || exit 1
  # A window found once may still be mapping; ask again until the answer is steady.
  wid=$(main_window)
  wait_for "the window to be mapped" sh -c "xdotool getwindowgeometry $wid"
  # The frame, not the client area, stands in the middle of the screen.
  tries=50 wait_for "the main window's frame centred on the ${screen_w}x$screen_h screen" \
    frame_centred "$wid"
  read -r main_x main_y main_w main_h <<<"$(client_place "$wid")"
  xdotool windowactivate "$wid"
  tries=50 wait_for "the main window to have the focus" sh -c "[ \"\$(xdotool getactivewindow)\" = $wid ]"
}
take_main_window
echo "main window $wid: client area at $main_x,$main_y size ${main_w}x$main_h," \
  "frame $(frame_place "$wid" | tr ' ' ,)"
[ "$main_w" = 795 ] && [ "$main_h" = 560 ] || fail "client area is ${main_w}x$main_h, not 795x560"
# Minimise and close, never maximise or resize.
main_actions=$(allowed_actions "$wid")
echo "main window allows: $main_actions"
for a in MINIMIZE CLOSE; do
  [[ " $main_actions" == *" $a "* ]] || fail "the main window does not allow $a"
done
# (openbox lets every normal window go full screen, whatever its fixed size says.)
for a in MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE; do
  [[ " $main_actions" == *" $a "* ]] && fail "the main window allows $a"
done
sleep 0.5
shot start

busy_shown() { xdotool search --onlyvisible --name '^Procesando\.\.\.$' >/dev/null; }
idle() { ! busy_shown; }

# Selects the whole text of a card field with the mouse and the keyboard, copies it and answers
# what the clipboard, read by another program, holds.
copy_field() {  # x y
  printf '' | xclip -selection clipboard
  click "$1" "$2"
  keys ctrl+a
  keys ctrl+c
  xclip -o -selection clipboard 2>/dev/null
}
field_is() {  # x y expected
  [ "$(copy_field "$1" "$2")" = "$3" ]
}

# Gadget places (client area), from the window's layout.
search_field=(110 44); search_button=(165 67); imdb_option=(20 77)
add_favourite=(110 242); save_favourites=(110 485); exit_button=(187 530)
title_field=(300 57)
# The right end of a titles list's row, past the last column: the columns end at 197, the list
# at 215.
list_row_end() { echo "205 $((116 + 14 * $1))"; }
# Parts of the window the pixel checks look at: a card field's text, a frame's title and the
# titles list's heading.
title_field_text=(236 51 120 13); title_frame_title=(230 35 60 11); titles_heading=(10 93 150 14)
# ...and those whose text the contrast checks read: frame titles, card texts, an option's label,
# the titles list's first (selected) and second rows, the lists' headings (the favourites' right
# of the sort arrow that a sorted list shows left of its title).
card_frame_title=(222 12 120 14); search_frame_title=(6 12 140 14); actors_text=(597 47 150 50)
synopsis_text=(232 268 300 40); option_label=(30 56 75 12)
selected_row=(8 110 150 11); other_row=(8 124 150 11); favourites_heading=(24 257 130 14)

# The sample site's films this run opens. Culturalia: "colmena" finds the film and, in the side
# column, a second one; IMDb: "alien" finds Alien first.
c_search=colmena c1_id=1187 c1_title='El espíritu de la colmena' c1_cover=espiritu_colmena_1187.jpg
c2_id=4420 c2_title='La lengua de las mariposas'
i_search=alien i1_id=tt0078748 i1_title='Alien (1979)'

requests_so_far() { wc -l <"$log"; }
wait_requests() {  # pattern: wait until the request log shows it
  wait_for "a request matching '$1' in the server's log" grep -qE "$1" "$log"
}
requested_since() { tail -n +"$(($1 + 1))" "$log" | grep -qE "$2"; }
demo_gone() { ! kill -0 "$demo_pid" 2>/dev/null; }
# Waits for the program to end and checks it ended well.
ended() {  # after what
  if wait_for "the program to end after $1" demo_gone; then
    wait "$demo_pid"; rc=$?
    [ "$rc" = 0 ] || fail "the program ended with exit code $rc after $1"
  else
    shot hanging
  fi
}

# --- 1. A search on Culturalia, typed over the selected "Blade Runner" ---------------------------
step "search Culturalia for '$c_search'"
typed "$c_search"
shot typed
before_busy=$last_shot
keys Return
# The proxy holds the search page back: the busy window names the search and the source.
wait_for "the busy window during the search" busy_shown
# Its frame centred, and what the window manager allows on it, read while the window is up.
busy_centred() {
  bid=$(xdotool search --onlyvisible --name '^Procesando\.\.\.$' | tail -n1) && frame_centred "$bid" &&
    busy_frame=$(frame_place "$bid") && busy_actions=$(allowed_actions "$bid") &&
    busy_functions=$(xprop -id "$bid" _MOTIF_WM_HINTS | sed -n 's/.*= //p' | cut -d, -f1-2 | tr -d ' ')
}
tries=20 wait_for "the busy window's frame centred" busy_centred
sleep 0.2
shot busy-search
busy_shown || fail "the busy window went before its screenshot"
echo "busy window $bid: frame ${busy_frame// /,}"
# A caption only: never resized or maximised, and asked to be neither closed nor minimised (the
# Motif hints' functions: move and resize alone, the size being fixed). openbox keeps closing,
# minimising and full screen whatever a normal window asks; the program ignores a close request
# of this window.
echo "busy window allows: $busy_actions; Motif hints flags,functions: $busy_functions"
for a in MAXIMIZE_HORZ MAXIMIZE_VERT RESIZE; do
  [[ " $busy_actions" == *" $a "* ]] && fail "the busy window allows $a"
done
[ "$busy_functions" = "0x1,0x6" ] || fail "the busy window asks for the functions $busy_functions"
# Locked, not greyed: the card field's text and the frame's title are black and as they were
# before the busy window came; only the titles list, disabled as a gadget, is greyed.
for part in title_field_text title_frame_title; do
  declare -n box=$part
  grey=$(darkest "$last_shot" "${box[@]}")
  [ "$grey" -le 60 ] || fail "$part is greyed while the busy window shows (darkest grey $grey)"
  diff=$(changed "$before_busy" $((main_x + box[0])) $((main_y + box[1])) \
    "$last_shot" $((main_x + box[0])) $((main_y + box[1])) "${box[2]}" "${box[3]}")
  [ "$diff" = 0 ] || fail "$part changed while the busy window shows ($diff pixels)"
  unset -n box
done
grey_before=$(darkest "$before_busy" "${titles_heading[@]}")
grey=$(darkest "$last_shot" "${titles_heading[@]}")
echo "titles list heading: darkest grey $grey_before before, $grey while busy"
[ "$grey_before" -le 60 ] || fail "the titles list's heading is not black before the search ($grey_before)"
[ "$grey" -ge 100 ] || fail "the titles list is not greyed while the busy window shows ($grey)"
wait_requests "/art/ver\.php\?art=$c1_id( |$|\")"
wait_for "the busy window to go" idle
# The card's title, copied, reaches another program through the clipboard.
wait_for "the card to show '$c1_title'" field_is "${title_field[@]}" "$c1_title"
# The focus back in the search field, so that the copied title shows unselected; the pointer
# off the window, off the texts measured.
click "${search_field[@]}"
xdotool mousemove 0 0
sleep 0.3
shot culturalia-card
check_contrast "$last_shot" "light palette"
lowest_light=$lowest_contrast

# --- 2. The second hit ----------------------------------------------------------------------------
step "click the second hit at the right end of its row, past the last column"
click $(list_row_end 1)
wait_requests "/art/ver\.php\?art=$c2_id( |$|\")"
wait_for "the busy window to go" idle
wait_for "the card to show '$c2_title'" field_is "${title_field[@]}" "$c2_title"
shot second-hit

# --- 3. IMDb ----------------------------------------------------------------------------------------
step "search IMDb for '$i_search'"
click "${imdb_option[@]}"
click "${search_field[@]}"
keys ctrl+a
typed "$i_search"
shot imdb-typed
click "${search_button[@]}"
# While the film page is held back, a click on "Añadir a Favoritos" must be lost: the saved
# file below holds the favourite only once.
wait_for "the IMDb film page held back" grep -q "^holding /title/$i1_id\$" "$out/proxy.log"
wait_for "the busy window during the IMDb film load" busy_shown
sleep 0.3
shot busy-imdb-load
click "${add_favourite[@]}"
wait_requests "/title/$i1_id/plotsummary"
wait_for "the busy window to go" idle
wait_for "the card to show '$i1_title'" field_is "${title_field[@]}" "$i1_title"
shot imdb-card

# --- 4. A favourite, saved ---------------------------------------------------------------------
step "add the IMDb film to the favourites and save"
# The search left its first hit, the film on the card, selected.
click "${add_favourite[@]}"
shot favourite-added
click "${save_favourites[@]}"
wait_for "favoritos.ini to hold the new favourite" grep -q "$i1_id" "$work/favoritos.ini"
saved=$(grep -c "$i1_id" "$work/favoritos.ini")
[ "$saved" = 1 ] || fail "favoritos.ini holds the favourite $saved times: the click while busy was not lost"
shot saved

# --- 5. The exit button -----------------------------------------------------------------------------
step "leave by the exit button"
click "${exit_button[@]}"
ended "the exit button"
shot after-exit

# --- 6. Again under dark desktops, from the keyboard ------------------------------------------------
# The search and the second hit go by keys alone: Return in the search field, Tab to the titles
# list, Down, Return; Alt+F4, the window manager's close key, ends the program.
dark_run() {  # name environment...
  local name=$1 before grey unfocused
  shift
  step "again under $name: search, Tab to the list, Down, Return"
  (cd "$work" && unset QT_QPA_PLATFORM && exec env "$@" "$demo" >"$out/demo-${name// /-}.log" 2>&1) &
  demo_pid=$!
  pids+=($demo_pid)
  take_main_window
  xdotool mousemove 0 0
  before=$(requests_so_far)
  typed "$c_search"
  keys Return
  wait_for "the cover of '$c1_title' asked for again" \
    requested_since "$before" "/imatges/articulos/$c1_cover"
  wait_for "the busy window to go" idle
  sleep 0.3
  shot "${name// /-}-card"
  check_contrast "$last_shot" "$name"
  lowest_dark+=" $lowest_contrast : 1 under $name,"
  unfocused=$last_shot
  keys Tab Tab
  sleep 0.3
  shot "${name// /-}-list-focused"
  # The focused list is framed in its text colour just inside its edge, below its last row.
  grey=$(darkest "$last_shot" 7 200 3 20)
  [ "$grey" -le 60 ] || fail "no focus mark on the focused titles list under $name (darkest grey $grey)"
  grey=$(darkest "$unfocused" 7 200 3 20)
  [ "$grey" -ge 200 ] || fail "a focus mark on the titles list before it has the focus under $name ($grey)"
  before=$(requests_so_far)
  keys Down
  sleep 0.5
  [ "$(requests_so_far)" = "$before" ] || fail "Down in the titles list loaded a film under $name"
  keys Return
  wait_requests "/art/ver\.php\?art=$c2_id( |$|\")"
  wait_for "the busy window to go" idle
  wait_for "the card to show '$c2_title'" field_is "${title_field[@]}" "$c2_title"
  shot "${name// /-}-second-hit"
  keys alt+F4
  ended "Alt+F4"
}
lowest_dark=
# The palette of KDE's Breeze Dark, as a KDE desktop hands it to every Qt program: Qt's own KDE
# theme reads it from kdeglobals.
dark_config=$out/dark-home/.config
mkdir -p "$dark_config"
cat >"$dark_config/kdeglobals" <<'EOF_KDE'
[Colors:Button]
BackgroundNormal=49,54,59
ForegroundNormal=252,252,252
[Colors:Selection]
BackgroundNormal=61,174,233
ForegroundNormal=252,252,252
[Colors:View]
BackgroundNormal=35,38,41
ForegroundNormal=252,252,252
[Colors:Window]
BackgroundNormal=49,54,59
ForegroundNormal=252,252,252
EOF_KDE
dark_run "Breeze Dark palette" HOME="$out/dark-home" XDG_CONFIG_HOME="$dark_config" \
  XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5
# A style that brings its own dark palette, as GNOME's Adwaita-Dark does (adwaita-qt6).
dark_run "Adwaita-Dark style" QT_STYLE_OVERRIDE=Adwaita-Dark
echo "lowest contrast: $lowest_light : 1 under the light palette,${lowest_dark%,}"

# --- The credit, measured on this display ------------------------------------------------------
# The main window's test on the same X server and window manager: the credit link's text, in the
# font the program gets here, is at most as wide as its label.
step "the credit link's text width on this display"
if (cd "$out" && unset QT_QPA_PLATFORM && "$app_tests" --gtest_filter='MainWindow.TextsAfterStartUp' \
      --gtest_output="xml:$out/credit.xml" >"$out/credit.log" 2>&1); then
  echo "credit: text $(grep -o 'name="creditTextWidth" value="[0-9]*"' "$out/credit.xml" |
    grep -o '[0-9]*"$' | tr -d '"') pixels wide in its 90-pixel label"
else
  fail "the credit does not fit its label on this display: $(grep -A3 Failure "$out/credit.log")"
fi

echo "screenshots in $out"
if [ "$failures" -ne 0 ]; then
  echo "--- request log"; cat "$log"
  echo "--- program output"; tail -n 40 "$out/demo.log"
  echo "$failures check(s) failed"
  exit 1
fi
echo "the person's run passed"
