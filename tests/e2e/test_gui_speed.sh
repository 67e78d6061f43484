#!/usr/bin/env bash
# The first speed the Installing page shows after a start, after the server stopped and came back
# and after Try again, read as a screen reader reads it, against the rate the server paces the
# line to; what a listener hears as the server goes and comes back, as the run fails, and at
# Pause and Resume (the event log).
. "$(dirname "$0")/gui_lib.sh"
gui_begin
EVENTS=$GUI/events.txt
agent_do events "$(winpath "$EVENTS")"
wait_until 30 test -e "$EVENTS" || fail "no event log"
# heard LINE [TIMES]: the event log has that line (at least TIMES times).
heard_times() { [[ $(grep -cxF -- "$1" "$EVENTS") -ge $2 ]]; }
heard() {
  wait_until 30 heard_times "$1" "${2:-1}" || fail "not heard: $1 (log: $(tr '\n' ';' <"$EVENTS"))"
}

section "the first speed after a start and after Try again, against the line's rate"
# Eight incompressible files, four transfers at a time, each paced by the fault server to 4 KiB
# every 20 ms: the line gives 819200 B/s; done bytes are what came over it. nginx's own limit
# counts in whole seconds, which moves a three-second figure by up to a third.
SPEED_GAME=$GUI/speedgame
mkdir -p "$SPEED_GAME/data"
echo launcher >"$SPEED_GAME/Quorvel.exe"
echo game >"$SPEED_GAME/Play Quorvel.exe"
for i in 1 2 3 4 5 6 7 8; do head -c 3M /dev/urandom >"$SPEED_GAME/data/part$i.bin"; done
publish "$SPEED_GAME" "$GUI/speedwww/patch" 9
start_patch_server "$GUI/speedwww"
fault_server_behind "$GUI" "$GUI/speedwww"
# pace_objects SLOW_MS CHUNK: the fault server sends each object of the release CHUNK bytes at a
# time, SLOW_MS apart.
pace_objects() {
  while read -r object; do
    curl -sf -o /dev/null -X POST --data "{\"script\": \"/patch/files/${object:0:2}/$object.z\", \"responses\": [],
      \"then\": {\"slow_ms\": $1, \"chunk\": $2}}" "http://127.0.0.1:$FAULT_PORT/_control" ||
      fail "the fault server took no script"
  done < <($PY -c 'import json, sys; [print(f["h"]) for f in json.load(open(sys.argv[1]))["files"]]' \
    "$GUI/speedwww/patch/manifest.json")
}
pace_objects 20 4096
LINE_RATE=819200
# first_speed: the Speed column's first figure (bytes per second), read as a reader reads it.
first_speed() {
  local value=
  for _ in $(seq 1 120); do
    read_tree speed
    value=$(grep -A1 '^text||Speed|' <<<"$TREE" | sed -n '2p' | cut -d'|' -f3)
    [[ -n $value && $value != - ]] && break
    sleep 0.3
  done
  awk -v v="$value" 'BEGIN { n = v + 0; if (v ~ /KB/) n *= 1024; else if (v ~ /MB/) n *= 1048576; printf "%d", n }'
}
# near_line WHEN BYTES: no more than a quarter above the line's rate (bytes that did not come
# over it counted), and not below half of it (time that was no transfer counted). A loaded
# machine paces the line late, never early, so only the lower bound has room.
near_line() {
  echo "$1: first speed shown $2 B/s, the line gives $LINE_RATE B/s"
  awk -v s="$2" -v r=$LINE_RATE 'BEGIN { exit !(s > 0.5 * r && s < 1.25 * r) }' ||
    fail "$1: the first speed $2 B/s is not between half the line's $LINE_RATE B/s and a quarter above it"
}
start_wizard speed --page=2 --dir="$GUI_WIN\\Speed" --no-shortcuts
click 775 498   # Install
near_line "after the start" "$(first_speed)"

mv "$GUI/speedwww/patch/files" "$GUI/speedwww/patch/files.away"
for _ in $(seq 1 120); do
  read_tree speed-failing
  grep -q '^button|[A-Z]*|Try again|' <<<"$TREE" && break
  sleep 1
done
grep -q '^button|[A-Z]*|Try again|' <<<"$TREE" || fail "the run did not fail without its objects"
heard 'focus|button|Try again'
heard 'alert|alert|The installation was interrupted.'
read_tree speed-failed
grep -q '^button|F[A-Z]*|Try again|' <<<"$TREE" || fail "Try again does not have the focus: $TREE"
mv "$GUI/speedwww/patch/files.away" "$GUI/speedwww/patch/files"
click 775 498   # Try again: four part files resume
near_line "after Try again" "$(first_speed)"
# The percentage and Downloaded describe the same install (read moments apart, while it moves).
read_tree speed-retried
percent=$(grep '^progressbar||Installation progress|' <<<"$TREE" | cut -d'|' -f4 | tr -d %)
downloaded=$(grep -A1 '^text||Downloaded|' <<<"$TREE" | sed -n '2p' | cut -d'|' -f3)
echo "after Try again: $percent %, downloaded $downloaded"
awk -v p="$percent" -v d="$downloaded" 'BEGIN { split(d, v, " / "); exit !(p != "" && v[2] + 0 > 0 &&
  (p - 100 * v[1] / v[2]) ^ 2 <= 25) }' || fail "after Try again the bar says $percent % and Downloaded $downloaded"
shot_now speed-retried
end_run speed

# The server goes away: the page says it is connecting, on screen and to a listener, with no
# speed; back, the first speed rests on what came since.
section "the server stops and comes back"
start_wizard outage --page=2 --dir="$GUI_WIN\\Outage" --no-shortcuts
downloading=$(grep -cxF 'namechange|text|Downloading the game...' "$EVENTS")
click 775 498   # Install
heard 'namechange|text|Downloading the game...' $((downloading + 1))
shot_now speed-downloading
$PROBE crop "$SHOT" 282 122 850 170 "$GUI/subtitle-downloading.png"
stop_release "$GUI/nginx"
heard 'namechange|text|Connecting to the server...'
shot_now speed-waiting
$PROBE crop "$SHOT" 282 122 850 170 "$GUI/subtitle-waiting.png"
$PROBE same "$GUI/subtitle-waiting.png" "$GUI/subtitle-downloading.png" && fail "the subtitle on screen did not change"
read_tree speed-waiting
grep -q '^text||Connecting to the server...|' <<<"$TREE" || fail "the page does not say it is connecting: $TREE"
expect_eq "speed while waiting" "$(grep -A1 '^text||Speed|' <<<"$TREE" | sed -n '2p' | cut -d'|' -f3)" "-"
nginx -e "$GUI/nginx/error.log" -c "$GUI/nginx/nginx.conf" || fail "nginx did not start again"
heard 'namechange|text|Downloading the game...' $((downloading + 2))
near_line "after the server came back" "$(first_speed)"
end_run outage


section "Pause from the keyboard holds every transfer past a request's bound; Resume finishes without a failed attempt"
# Small objects, so that a request's bound (the floor plus 16 KiB at 4 KiB/s: 7 s) passes during
# the pause, each paced to 512 bytes every 100 ms: about 20 s of download in all.
PAUSE_GAME=$GUI/pausegame
mkdir -p "$PAUSE_GAME/data"
echo launcher >"$PAUSE_GAME/Quorvel.exe"
echo game >"$PAUSE_GAME/Play Quorvel.exe"
for i in $(seq 10 33); do head -c 16K /dev/urandom >"$PAUSE_GAME/data/piece$i.bin"; done
publish "$PAUSE_GAME" "$GUI/speedwww/patch" 10
pace_objects 100 512
start_wizard pause --page=2 --dir="$GUI_WIN\\Pause" --no-shortcuts "--log=$GUI_WIN\\pause.log"
click 775 498   # Install
# tree_value NAME: the value the reader hears after the caption NAME.
tree_value() { grep -A1 "^text||$1|" <<<"$TREE" | sed -n '2p' | cut -d'|' -f3; }
wait_until 30 eval 'read_tree pause-offered && grep -q "^button|[A-Z]*|Pause|[^|]*|Press|" <<<"$TREE"' ||
  fail "no Pause button a reader can press while downloading"
key Tab
read_tree pause-focused
grep -q '^button|F[A-Z]*|Pause|' <<<"$TREE" || fail "Tab does not reach Pause first"
key space
heard 'namechange|text|PAUSED'
heard 'namechange|text|The download will continue where it stopped.'
heard 'namechange|button|Resume'
read_tree paused
shot paused
grep -q '^button|F[A-Z]*|Resume|' <<<"$TREE" || fail "the pressed button does not offer Resume"
grep -q '^text||PAUSED|' <<<"$TREE" || fail "the page does not say PAUSED"
grep -q '^text||The download will continue where it stopped.|' <<<"$TREE" || fail "no hint that the download continues"
expect_eq "speed while paused" "$(tree_value Speed)" "-"
expect_eq "time left while paused" "$(tree_value 'Time left')" "-"
held=$(grep '^progressbar||Installation progress|' <<<"$TREE" | cut -d'|' -f4)
# Held past the bound of the requests under way: the program gives them up and, after Resume,
# goes on from their part files.
wait_until 60 grep -q 'request given up after its bound' "$GUI/pause.log" ||
  fail "no request outlasted its bound during the pause"
read_tree still-paused
expect_eq "percentage while paused" "$(grep '^progressbar||Installation progress|' <<<"$TREE" | cut -d'|' -f4)" "$held"
downloading=$(grep -cxF 'namechange|text|Downloading the game...' "$EVENTS")
key space
heard 'namechange|button|Pause'
heard 'namechange|text|Downloading the game...' $((downloading + 1))
wait_until 120 test -f "$GUI/Pause/bin/Uninstall Quorvel.exe" || fail "the install did not finish after Resume"
while read -r f; do
  cmp -s "$PAUSE_GAME/$f" "$GUI/Pause/$f" || fail "$f is not the published file after the pause"
done < <(cd "$PAUSE_GAME" && find . -type f | sed 's|^\./||')
grep -q 'download resumed by the player' "$GUI/pause.log" || fail "the log does not say the download went on"
grep -q 'patch run failed' "$GUI/pause.log" && fail "the run failed after the pause"
end_run pause
stop_release "$GUI/nginx"
cp "$EVENTS" "$SHOTS/events-speed.txt"

pass_or_fail
