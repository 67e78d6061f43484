#!/usr/bin/env bash
# What the wizard itself costs while it installs: the same release installed unattended and
# through the window (Install clicked, nothing else touched), from a server that limits each
# connection, so that both runs download for the same time. The wizard's share is the window
# run's CPU minus the unattended run's, over the window run's download time. Accessibility
# calls are timed while the page animates (a screen reader's tree read, element by element).
# Usage: bench/wizard_cpu.sh BUILD_DIR (the folder holding windows/ and host/); ./run bench
# runs it after the engine benchmark. QV_BENCH_WIZARD_SIZE and QV_BENCH_WIZARD_RATE size it.
set -uo pipefail
BUILD=$(cd "${1:?usage: bench/wizard_cpu.sh BUILD_DIR}" && pwd)
export QV_BUILD_DIR=$BUILD/windows QV_SOURCE_DIR
QV_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SIZE=${QV_BENCH_WIZARD_SIZE:-64M}
RATE=${QV_BENCH_WIZARD_RATE:-256k}
. "$QV_SOURCE_DIR/tests/e2e/gui_lib.sh"
gui_begin

say() { echo "wizard bench: $*"; }
# cpu_ticks PID: user + system clock ticks the process has used.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
linux_pid() { processes_naming "$1" | head -1 | cut -d' ' -f1; }
TICKS=$(getconf CLK_TCK)
now() { date +%s.%N; }

make_game "$GUI/game" 200 "$SIZE"
publish "$GUI/game" "$GUI/www/patch" 5
start_patch_server "$GUI/www" "$RATE"

# The unattended run of the same release.
t0=$(now)
/usr/bin/time -f '%U %S' -o "$GUI/silent.time" wine "$SETUP_EXE" --silent --no-shortcuts --no-launch \
  "--dir=$GUI_WIN\\Silent" >/dev/null 2>&1
silent_rc=$?
silent_wall=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')
silent_cpu=$(awk '{ printf "%.2f", $1 + $2 }' "$GUI/silent.time")
clean_user_state
(( silent_rc == 0 )) || { echo "the unattended install failed ($silent_rc)"; exit 1; }

# The same through the window.
start_wizard window --page=2 "--dir=$GUI_WIN\\Window" --no-shortcuts
pid=$(linux_pid QuorvelSetup-e2e.exe)
[[ -n $pid ]] || { echo "no wizard process"; exit 1; }
before=$(cpu_ticks "$pid")
t0=$(now)
click 775 498   # Install
# Accessibility while the page animates: each tree read's time as the reader measured it.
reads=()
for _ in 1 2 3; do
  read_tree bench || break
  reads+=("$(tr -d "\r\n" <"$GUI/access.txt.ms" 2>/dev/null)")
done
finished=0
for _ in $(seq 1 1200); do
  [[ -f "$GUI/Window/bin/Uninstall Quorvel.exe" ]] && grab "$GUI/now.png" &&
    $PROBE near "$GUI/now.png" 566 208 c9a475 6 >/dev/null && { finished=1; break; }
  sleep 0.25
done
window_wall=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }')
window_cpu=$(awk -v a="$before" -v b="$(cpu_ticks "$pid")" -v t="$TICKS" 'BEGIN { printf "%.2f", (b - a) / t }')
end_run window
(( finished )) || { echo "the window install did not finish"; exit 1; }

share=$(awk -v w="$window_cpu" -v s="$silent_cpu" -v t="$window_wall" 'BEGIN { printf "%.0f", 100 * (w - s) / t }')
say "unattended: $silent_wall s, CPU $silent_cpu s"
say "window:     $window_wall s, CPU $window_cpu s (time ratio $(awk -v w="$window_wall" -v s="$silent_wall" 'BEGIN { printf "%.2f", w / s }'))"
say "tree reads while animating, mean and longest ms per element: $(IFS=,; echo "${reads[*]:-none}")"
verdict="FALL SHORT"
(( share <= 25 )) && verdict=PASS
say "the wizard's CPU during a download: $share % of one core (goal at most 25 %): $verdict"
pass_or_fail
