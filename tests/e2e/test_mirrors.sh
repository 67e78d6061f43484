#!/usr/bin/env bash
# Mirrors that are behind, expired or silent, through the real program and nginx instances on
# 127.0.0.1: a stale or expired mirror is left for the next, no run goes below a version this
# installation accepted, and servers that never answer cost a bounded time.
source "$(dirname "$0")/lib.sh"
e2e_begin
trap 'st=$?; qv_nginx_stop "$E2E/na"; qv_nginx_stop "$E2E/nb"; (exit $st); e2e_end' EXIT

for v in 1 2 3; do
  make_game "$E2E/game$v" $((40 + v))
  "$PUBLISH" build "$E2E/game$v" "$E2E/r$v/patch" --key "$SIGNING_KEY" --version "$v" >>"$E2E/publish.log" 2>&1 ||
    { cat "$E2E/publish.log"; fail "publishing version $v failed"; }
done
PA=$(qv_free_port) PB=$(qv_free_port)
mkdir -p "$E2E/wwwA" "$E2E/wwwB"
qv_nginx_start "$E2E/na" "$E2E/wwwA" "$PA" "" || fail "nginx A did not start"
qv_nginx_start "$E2E/nb" "$E2E/wwwB" "$PB" "" || fail "nginx B did not start"
# serve A|B RELEASE: that mirror now serves a copy of the release (changed in place by a case).
serve() { rm -rf "$E2E/www$1/patch" && cp -a "$2/patch" "$E2E/www$1/"; }
A=http://127.0.0.1:$PA/patch/ B=http://127.0.0.1:$PB/patch/
# run_with LOG URLS DIR [ARGS]: an unattended install from these mirrors, its log in $E2E/LOG.log.
run_with() {
  local log=$E2E/$1.log urls=$2 dir=$3; shift 3
  QV_E2E_BASE_URLS=$urls setup --silent --no-shortcuts --no-launch "--dir=$(winpath "$dir")" "--log=$(winpath "$log")" "$@"
}
expect_log() { grep -qF -- "$2" "$E2E/$1.log" || { fail "$1.log lacks: $2"; grep -a 'patch server\|patch run' "$E2E/$1.log"; }; }

section "a stale mirror is skipped: v2 installed, mirror A still on v1, mirror B on v3"
D=$E2E/Stale/Quorvel
serve B "$E2E/r2"
run_with stale0 "$B" "$D"
expect_eq "exit code installing v2" "$rc" 0
serve A "$E2E/r1"; serve B "$E2E/r3"
run_with stale "$A;$B" "$D"
expect_eq "exit code with a stale first mirror" "$rc" 0
same_tree "$E2E/game3" "$D"
expect_log stale "patch server $A is not asked again in this run: it offers version 1, older than the installed 2"
serve B "$E2E/r1"
run_with stale2 "$A;$B" "$D"
expect_eq "exit code when every mirror is behind" "$rc" 6
expect_log stale2 "patch run failed: The server sent an older version than the installed one."

section "never lower than seen: a run that accepted v3 but did not finish, then v2 everywhere"
D=$E2E/Seen/Quorvel
serve A "$E2E/r3"; rm -rf "$E2E/wwwA/patch/files"
run_with seen0 "$A" "$D"
expect_eq "exit code with v3's objects missing" "$rc" 6
grep -qx 'accepted=3' <(tr -d '\r' <"$D/config/patcher.ini") || fail "patcher.ini does not record accepted=3"
serve A "$E2E/r2"; serve B "$E2E/r2"
run_with seen "$A;$B" "$D"
expect_eq "exit code offered v2 after v3 was seen" "$rc" 6
expect_log seen "patch server $A is not asked again in this run: it offers version 2, older than version 3, which this installation accepted before"
expect_log seen "patch server $B is not asked again in this run: it offers version 2, older than version 3"
expect_log seen "patch run failed: The server sent an older version than the installed one."

section "signed expiry: expired on the only mirror, skipped on the first of two, re-signed, older program"
serve A "$E2E/r3"
"$PUBLISH" resign "$E2E/wwwA/patch" --key "$SIGNING_KEY" --expires 2020-01-01T00:00:00Z >/dev/null || fail "resign"
D=$E2E/Expired/Quorvel
run_with expired "$A" "$D"
expect_eq "exit code with an expired release" "$rc" 6
expect_log expired "patch server $A is not asked again in this run: it offers version 3, which expired at 2020-01-01T00:00:00Z"
expect_log expired "patch run failed: The patch server's release has expired. Check your computer's clock and try again later."
run_with expired_de "$A" "$D" --lang=de
expect_log expired_de "patch run failed: Die Serverversion ist abgelaufen. Prüfe die Uhrzeit"
serve B "$E2E/r3"
run_with expired2 "$A;$B" "$D"
expect_eq "exit code with an expired first mirror" "$rc" 0
same_tree "$E2E/game3" "$D"
expect_log expired2 "patch server $B offers version 3, which does not expire"
"$PUBLISH" resign "$E2E/wwwA/patch" --key "$SIGNING_KEY" --valid-days 14 >/dev/null || fail "resign"
D=$E2E/Resigned/Quorvel
run_with resigned "$A" "$D"
expect_eq "exit code with the re-signed release" "$rc" 0
same_tree "$E2E/game3" "$D"
expect_log resigned "patch server $A offers version 3, valid until $(date -u -d '+14 days' +%Y-%m-%d)"
older_program 24455a551536c0b37c5611a46c658d635a4bd46f  # from before the expiry
grep -q '"expires"' "$E2E/wwwA/patch/manifest.json" || fail "the release has no expiry"
D=$E2E/Older/Quorvel
QV_E2E_BASE_URLS=$A run_windows "$OLDER_EXE" --silent --no-shortcuts "--dir=$(winpath "$D")"
expect_eq "exit code (older program, release with an expiry)" "$rc" 0
same_tree "$E2E/game3" "$D"

section "five mirrors that never answer and a good one: each asked once at most, within the bound"
# Sockets that take connections and never read them: the server a dead CDN edge looks like.
$PY -c 'import os, socket, signal, sys
socks = [socket.create_server(("127.0.0.1", 0), backlog=64) for _ in range(5)]
open(sys.argv[1] + ".tmp", "w").write(" ".join(str(s.getsockname()[1]) for s in socks))
os.rename(sys.argv[1] + ".tmp", sys.argv[1]); signal.pause()' "$E2E/silent.ports" &
_pids+=($!)
wait_until 20 test -s "$E2E/silent.ports" || fail "the silent servers did not start"
urls=
for p in $(cat "$E2E/silent.ports"); do urls+="http://127.0.0.1:$p/patch/;"; done
D=$E2E/Silent/Quorvel
run_with silent "${urls}$A" "$D"
expect_eq "exit code with five silent mirrors first" "$rc" 0
same_tree "$E2E/game3" "$D"
expect_eq "mirrors left for giving no answer" "$(grep -c 'is not asked again in this run: no answer from' "$E2E/silent.log")" 2
expect_eq "mirrors not asked once the wait was spent" "$(grep -c 'is not asked again in this run: servers before it used up' "$E2E/silent.log")" 3
expect_log silent "patch server $A offers version 3, valid until"

pass_or_fail
