#!/usr/bin/env bash
# Drives cinevarta-demo on a real X server (Xvfb) the way a person does, with xdotool: finds the
# window by its title, types a title and presses Enter, waits for the card, selects and copies
# card fields (read back with xclip), clicks a second hit, switches to IMDb and searches again,
# adds a favourite, presses "Salvar" and leaves by the exit button. It then checks the card
# texts, the sample server's request log and the bytes of favoritos.ini, and leaves a
# screenshot of the screen after every step in the output folder.
#
# The sample server runs on a free port behind x11_slow_proxy, which listens on the port compiled
# into the demo and holds back the first search page and the IMDb film pages for a moment, so the
# busy window can be photographed and a click made meanwhile can be shown to be lost.
#
# Usage: person_run.sh <cinevarta-demo> <sample-server> <x11_slow_proxy> <sample-site> <port>
#                      <output folder>
# Exits 77 (the test is skipped) when Xvfb, xdotool, xclip or import is missing or no X server
# can be started; 1 on any failed check.
set -uo pipefail
demo=${1:?demo}; server=${2:?server}; proxy=${3:?proxy}; site=${4:?site}; port=${5:?port}
out=${6:?output}
# The program runs in its own working folder: every path is made absolute first.
mkdir -p "$out"
demo=$(realpath "$demo"); server=$(realpath "$server"); proxy=$(realpath "$proxy")
site=$(realpath "$site"); out=$(realpath "$out")

skip() { echo "SKIPPED: $*"; exit 77; }
for tool in Xvfb xdotool xclip import; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup.sh installs it)"
done
[ -x "$demo" ] || { echo "FAIL: no demo program at $demo"; exit 1; }
[ -x "$server" ] || { echo "FAIL: no sample server at $server"; exit 1; }
[ -x "$proxy" ] || { echo "FAIL: no proxy at $proxy"; exit 1; }

rm -rf "$out"
mkdir -p "$out/work"
work=$out/work
log=$out/requests.log
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { echo "--- $*"; }

# Waits until a command succeeds, looking every tenth of a second. The bound only keeps a broken
# program from hanging the run; it is far above what any step takes, sanitizers included.
wait_for() {
  local what=$1; shift
  local i
  for ((i = 0; i < 900; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "gave up waiting for $what"
  return 1
}

# --- The X server ------------------------------------------------------------------------------
exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for ((i = 0; i < 100; i++)); do
  [ -s "$out/display" ] && break
  kill -0 "${pids[0]}" 2>/dev/null || break
  sleep 0.1
done
[ -s "$out/display" ] || skip "Xvfb could not start: $(tail -n 3 "$out/xvfb.log")"
export DISPLAY=:$(cat "$out/display")
xdotool getdisplaygeometry >/dev/null 2>&1 || skip "the X server on $DISPLAY does not answer"
echo "X server on $DISPLAY"

shot_no=0
shot() {
  shot_no=$((shot_no + 1))
  local name
  name=$(printf '%s/%02d-%s.png' "$out" "$shot_no" "$1")
  import -window root "$name" 2>>"$out/import.log" || fail "screenshot $name"
}

# --- The sample server, and the slow front on the demo's port --------------------------------------
answers() { (exec 9<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
if answers "$port"; then
  echo "FAIL: something already listens on port $port (a running scripts/run.sh?)"
  exit 1
fi
site_port=
for ((candidate = 20000 + RANDOM % 20000, i = 0; i < 50; candidate++, i++)); do
  answers "$candidate" || { site_port=$candidate; break; }
done
[ -n "$site_port" ] || { echo "FAIL: no free port for the sample server"; exit 1; }
"$server" "$site" "$site_port" >"$log" 2>&1 &
pids+=($!)
wait_for "the sample server on port $site_port" answers "$site_port" || exit 1
delay_ms=2500
"$proxy" "$port" "$site_port" "$delay_ms" "/bus/resu.php" "/title/" >"$out/proxy.log" 2>&1 &
pids+=($!)
wait_for "the proxy on port $port" answers "$port" || exit 1

# --- The program --------------------------------------------------------------------------------
# A favourite from an earlier run, so the saved file shows that loading, adding and sorting work
# together.
printf 'Zulu Dawn#tt0080180#I\r\n' >"$work/favoritos.ini"
# A cover left behind by a killed run: the next normal run must not leave it.
printf 'left over by a killed run' >"$work/portada.jpg"
(cd "$work" && unset QT_QPA_PLATFORM && exec "$demo" >"$out/demo.log" 2>&1) &
demo_pid=$!
pids+=($demo_pid)

main_window() { xdotool search --onlyvisible --name '^Cinevarta - v0\.9\.4\.b$' | head -n1; }
main_window_shown() { [ -n "$(main_window)" ]; }
wait_for "the main window titled 'Cinevarta - v0.9.4.b'" main_window_shown || exit 1
# A window found once may still be mapping; ask again until the answer is steady.
wid=$(main_window)
wait_for "the window to be mapped" sh -c "xdotool getwindowgeometry $wid"
eval "$(xdotool getwindowgeometry --shell "$wid")"
echo "main window $wid at $X,$Y size ${WIDTH}x$HEIGHT"
[ "$WIDTH" = 795 ] && [ "$HEIGHT" = 560 ] || fail "client area is ${WIDTH}x$HEIGHT, not 795x560"
sleep 0.5
shot start

busy_shown() { xdotool search --onlyvisible --name '^Procesando\.\.\.$' >/dev/null; }
idle() { ! busy_shown; }

# Mouse and keys, in client-area coordinates of the main window.
click() {  # x y [button]
  xdotool mousemove --window "$wid" "$1" "$2" && sleep 0.05 && xdotool click "${3:-1}"
  sleep 0.15
}
keys() { xdotool key --clearmodifiers "$@"; sleep 0.1; }
typed() { xdotool type --delay 40 --clearmodifiers "$1"; sleep 0.1; }

# Selects the whole text of a card field with the mouse and the keyboard, copies it and answers
# what the clipboard holds (without CR, which the field keeps between lines).
copy_field() {  # x y
  printf '' | xclip -selection clipboard
  click "$1" "$2"
  keys ctrl+a
  keys ctrl+c
  xclip -o -selection clipboard 2>/dev/null | tr -d '\r'
}
field_is() {  # x y expected
  [ "$(copy_field "$1" "$2")" = "$3" ]
}

# Gadget places (client area), from the window's layout.
search_field=(110 44); search_button=(165 67); imdb_option=(20 77)
add_favourite=(110 242); save_favourites=(110 485); exit_button=(187 530)
title_field=(300 57); director_field=(300 162); actors_field=(610 55)
genre_field=(300 92)
list_row() { echo "60 $((116 + 14 * $1))"; }  # titles list: the middle of a row, below the header

# The film data the sample site holds for the films this run opens.
source "$(dirname "$0")/person_run_films.sh"

requests_so_far() { wc -l <"$log"; }
wait_requests() {  # pattern: wait until the request log shows it
  wait_for "a request matching '$1' in the server's log" grep -qE "$1" "$log"
}

# --- 1. A search on Culturalia, typed over the selected "Blade Runner" ---------------------------
step "search Culturalia for '$c_search'"
before=$(requests_so_far)
typed "$c_search"
shot typed
keys Return
# The proxy holds the search page back: the busy window names the search and the source.
wait_for "the busy window during the search" busy_shown
sleep 0.3
shot busy-search
wait_requests "/bus/resu\.php\?texto=$c_search_url&donde=1"
wait_requests "/art/ver\.php\?art=$c1_id( |$|\")"
wait_for "the busy window to go" idle
wait_for "the card to show '$c1_title'" field_is "${title_field[@]}" "$c1_title"
shot culturalia-card
got=$(copy_field "${title_field[@]}"); [ "$got" = "$c1_title" ] || fail "title field: '$got'"
got=$(copy_field "${director_field[@]}"); [ "$got" = "$c1_director" ] || fail "director field: '$got'"
got=$(copy_field "${genre_field[@]}"); [ "$got" = "$c1_genre" ] || fail "genre field: '$got'"
got=$(copy_field "${actors_field[@]}")
[ "$got" = "$c1_actors" ] || fail "actors field: '$got', expected '$c1_actors'"
grep -qE "/imatges/articulos/$c1_cover" "$log" || fail "the cover /imatges/articulos/$c1_cover was not asked for"
[ -s "$work/portada.jpg" ] || fail "no portada.jpg after a Culturalia film with a cover"
shot culturalia-copied

# --- 2. The second hit ----------------------------------------------------------------------------
step "click the second hit"
click $(list_row 1)
wait_requests "/art/ver\.php\?art=$c2_id( |$|\")"
wait_for "the busy window to go" idle
wait_for "the card to show '$c2_title'" field_is "${title_field[@]}" "$c2_title"
got=$(copy_field "${director_field[@]}"); [ "$got" = "$c2_director" ] || fail "second hit's director: '$got'"
shot second-hit

# --- 3. IMDb ----------------------------------------------------------------------------------------
step "search IMDb for '$i_search'"
click "${imdb_option[@]}"
click "${search_field[@]}"
keys ctrl+a
typed "$i_search"
shot imdb-typed
click "${search_button[@]}"
wait_requests "/find\?q=$i_search_url;tt=1"
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
got=$(copy_field "${director_field[@]}"); [ "$got" = "$i1_director" ] || fail "IMDb director: '$got'"
got=$(copy_field "${actors_field[@]}")
[ "$got" = "$i1_actors" ] || fail "IMDb actors: '$got', expected '$i1_actors'"
shot imdb-card

# --- 4. A favourite, saved ---------------------------------------------------------------------
step "add the IMDb film to the favourites and save"
# The search left its first hit, the film on the card, selected.
click "${add_favourite[@]}"
shot favourite-added
click "${save_favourites[@]}"
wait_for "favoritos.ini to hold the new favourite" grep -q "$i1_id" "$work/favoritos.ini"
shot saved

# --- 5. The exit button -----------------------------------------------------------------------------
step "leave by the exit button"
click "${exit_button[@]}"
demo_gone() { ! kill -0 "$demo_pid" 2>/dev/null; }
if wait_for "the program to end after the exit button" demo_gone; then
  wait "$demo_pid"; rc=$?
  [ "$rc" = 0 ] || fail "the program ended with exit code $rc"
else
  shot hanging
fi
shot after-exit

# --- The files and the request log --------------------------------------------------------------
expected=$(printf '%s\r\n' "${favourites_after[@]}" | od -An -c)
actual=$(od -An -c "$work/favoritos.ini")
[ "$expected" = "$actual" ] || fail "favoritos.ini holds:
$(od -c "$work/favoritos.ini")
expected:
$(printf '%s\r\n' "${favourites_after[@]}" | od -c)"
[ ! -e "$work/portada.jpg" ] || fail "portada.jpg is still there after the program ended"
[ -s "$work/_SELECCIONADA.HTM" ] || fail "no copy of the last film page (_SELECCIONADA.HTM)"
# Requests in the order the steps make them.
order=(
  "/bus/resu\.php\?texto=$c_search_url&donde=1"
  "/art/ver\.php\?art=$c1_id"
  "/imatges/articulos/$c1_cover"
  "/art/ver\.php\?art=$c2_id"
  "/find\?q=$i_search_url;tt=1"
  "/title/$i1_id"
  "/title/$i1_id/plotsummary"
)
line=0
for pattern in "${order[@]}"; do
  next=$(tail -n +"$((line + 1))" "$log" | grep -nE "$pattern" | head -n1 | cut -d: -f1)
  if [ -z "$next" ]; then
    fail "the request log has no '$pattern' after line $line"
  else
    line=$((line + next))
  fi
done

echo "screenshots in $out"
if [ "$failures" -ne 0 ]; then
  echo "--- request log"; cat "$log"
  echo "--- program output"; tail -n 40 "$out/demo.log"
  echo "$failures check(s) failed"
  exit 1
fi
echo "the person's run passed"
