#!/usr/bin/env bash
# Starts the HTTP servers of a test run on 127.0.0.1 and writes DATA/servers.env.
#   start.sh DATA SOURCE_DIR
# - nginx serving DATA/www/ (real 200, 206 and 404), on a free port it finds;
# - the fault server (fault_server.py) over the same folder, for scripted misbehaviour;
# - a signed sample release at DATA/www/sample/patch/: the sample game of
#   tools/make_sample_game.py published by quorvel-publish from the host build;
# - large signed manifests at DATA/www/{large,limit,deletes1,deletes2}/patch/ (make_fixtures.py).
# stop.sh DATA stops exactly these processes again.
set -euo pipefail
DATA=$(mkdir -p "$1" && cd "$1" && pwd)
SRC=$(cd "$2" && pwd)
HERE=$SRC/tests/servers
PY=/usr/bin/python3   # Debian's interpreter, which has python3-cryptography
KEY=$SRC/tests/data/test_release.key
PUBLISH=$(cd "$DATA/.." && pwd)/../host/tools/quorvel-publish
SAMPLE_VERSION=7
. "$SRC/tools/services.sh"

"$HERE/stop.sh" "$DATA"   # leftovers of an interrupted run

WWW=$DATA/www
NGINX=$DATA/nginx
FAULT=$DATA/fault
rm -rf "$WWW" "$NGINX" "$FAULT" "$DATA/sample-game" "$DATA/servers.env"
mkdir -p "$WWW" "$NGINX" "$FAULT"

fail() {
  echo "start.sh: $*" >&2
  for f in "$NGINX/start.log" "$NGINX/error.log" "$FAULT/server.log"; do [[ -s $f ]] && tail -n 20 "$f" >&2; done
  "$HERE/stop.sh" "$DATA" || true
  exit 1
}

# ---- the sample release and the fixtures -------------------------------------------
[[ -x $PUBLISH ]] || fail "no $PUBLISH: build the host preset first (./run build)"
GAME=$DATA/sample-game
$PY "$SRC/tools/make_sample_game.py" create "$GAME" >/dev/null
"$PUBLISH" build "$GAME" "$WWW/sample/patch" --key "$KEY" --version "$SAMPLE_VERSION" >/dev/null
[[ -s $WWW/sample/patch/manifest.json && -s $WWW/sample/patch/manifest.sig ]] || fail "no sample release"
PUBLIC_KEY=$($PY "$HERE/make_fixtures.py" public-key "$KEY")
# Manifests far beyond 64 KiB, signed by an independent Ed25519 implementation: one with
# 20,000 entries and one of exactly the 32 MiB a manifest may have.
$PY "$HERE/make_fixtures.py" large-manifest "$WWW/large/patch" --key "$KEY" --entries 20000
$PY "$HERE/make_fixtures.py" large-manifest "$WWW/limit/patch" --key "$KEY" --entries 1000 --size 33554432
# Releases with long delete lists (about 510 KB and 470 KB).
$PY "$HERE/make_fixtures.py" delete-list "$WWW/deletes1/patch" --key "$KEY" --entries 1000 --deletes 17000
$PY "$HERE/make_fixtures.py" delete-list "$WWW/deletes2/patch" --key "$KEY" --entries 50 --deletes 20000

# ---- nginx --------------------------------------------------------------------------
NGINX_PORT=
for _ in $(seq 1 20); do
  port=$(qv_free_port)
  if qv_nginx_start "$NGINX" "$WWW" "$port"; then
    NGINX_PORT=$port
    break
  fi
done
[[ -n $NGINX_PORT ]] || fail "nginx did not start"

# ---- the fault server ---------------------------------------------------------------
setsid $PY "$HERE/fault_server.py" --root "$WWW" --port-file "$FAULT/port" --pid-file "$FAULT/pid" \
  </dev/null >>"$FAULT/server.log" 2>&1 &
for _ in $(seq 1 100); do
  [[ -s $FAULT/port ]] && break
  sleep 0.05
done
[[ -s $FAULT/port ]] || fail "the fault server did not start"
FAULT_PORT=$(cat "$FAULT/port")

# ---- both answer --------------------------------------------------------------------
for url in "http://127.0.0.1:$NGINX_PORT/sample/patch/manifest.sig" \
           "http://127.0.0.1:$FAULT_PORT/sample/patch/manifest.sig"; do
  ok=
  for _ in $(seq 1 100); do
    if curl -sf -o /dev/null "$url"; then ok=1; break; fi
    sleep 0.05
  done
  [[ -n $ok ]] || fail "no answer from $url"
done

cat >"$DATA/servers.env.tmp" <<EOF
QV_NGINX_PORT=$NGINX_PORT
QV_NGINX_URL=http://127.0.0.1:$NGINX_PORT/
QV_FAULT_PORT=$FAULT_PORT
QV_FAULT_URL=http://127.0.0.1:$FAULT_PORT/
QV_WWW=$WWW
QV_SAMPLE_GAME=$GAME
QV_SAMPLE_RELEASE=$WWW/sample/patch
QV_SAMPLE_BASE_URL=http://127.0.0.1:$NGINX_PORT/sample/patch/
QV_SAMPLE_VERSION=$SAMPLE_VERSION
QV_PUBLISH=$PUBLISH
QV_LARGE_BASE_URL=http://127.0.0.1:$NGINX_PORT/large/patch/
QV_LIMIT_BASE_URL=http://127.0.0.1:$NGINX_PORT/limit/patch/
QV_SIGNING_KEY=$KEY
QV_PUBLIC_KEY=$PUBLIC_KEY
EOF
mv "$DATA/servers.env.tmp" "$DATA/servers.env"
echo "nginx on $NGINX_PORT, fault server on $FAULT_PORT"
