#!/usr/bin/env bash
# A second start while the wizard is open brings the first window back (restored from the
# taskbar, in front) and ends with exit code 0; the first one goes on as before.
. "$(dirname "$0")/gui_lib.sh"
gui_begin

section "the first wizard, minimised"
start_wizard first --page=0
click 827 40   # the title bar's minimise button
for _ in $(seq 1 30); do
  query_window && [[ $WINDOW_INFO == *"iconic=1"* ]] && break
  sleep 0.5
done
[[ $WINDOW_INFO == *"iconic=1"* ]] || fail "the minimise button did not minimise: $WINDOW_INFO"

section "a second start"
run_wizard second --page=2 || fail "the second start did not end"
expect_eq "exit code of the second start" "$(exit_code second 5)" 0
query_window
[[ $WINDOW_INFO == visible=1\ iconic=0* ]] || fail "the first window was not restored: $WINDOW_INFO"
[[ $WINDOW_INFO == *"foreground=1"* ]] || fail "the first window is not in front: $WINDOW_INFO"
shot single-instance-restored
# Still the first wizard, on its Welcome page (the second one asked for the Summary page).
probe_near "Welcome step is current" 50 210 c9a475 4
[[ -e $GUI/first.exit ]] && fail "the first wizard ended"

click 859 40
expect_eq "exit code of the first wizard" "$(exit_code first 60)" 0
pass_or_fail
