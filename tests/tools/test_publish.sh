#!/usr/bin/env bash
# quorvel-publish on real folders: keys, publishing, re-publishing, refusals and verification,
# with signatures and objects checked by independent code (tests/tools/release_check.py).
set -uo pipefail
PUB=${QV_PUBLISH:?path of quorvel-publish}
SRC=${QV_SOURCE_DIR:?source folder}
PY=/usr/bin/python3
GEN="$SRC/tools/make_sample_game.py"
CHECK="$SRC/tests/tools/release_check.py"
T=$(mktemp -d /tmp/qv_publish_test.XXXXXX)
trap 'rm -rf "$T"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
section() { echo "== $*"; }
# run NAME CMD...: runs a command, keeping its output and exit code in $T/NAME.out / $rc.
run() {
  local name=$1; shift
  "$@" >"$T/$name.out" 2>&1
  rc=$?
}
expect_ok() { [[ $rc -eq 0 ]] || { fail "$1 (exit $rc)"; sed 's/^/    /' "$T/$2.out"; }; }
expect_refused() {  # description, output name, text the output must contain
  if [[ $rc -eq 0 ]]; then fail "$1: accepted"; sed 's/^/    /' "$T/$2.out"; return; fi
  grep -qF -- "$3" "$T/$2.out" || { fail "$1: output lacks '$3'"; sed 's/^/    /' "$T/$2.out"; }
}
tree_digest() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha256sum | sha256sum); }

section "keygen: owner-only key file, never overwritten, the public key matches the seed"
run keygen bash -c "umask 000; '$PUB' keygen --out '$T/release.key'"
expect_ok "keygen" keygen
pubkey=$(grep -E '^[0-9a-f]{64}$' "$T/keygen.out" | head -1)
[[ -n $pubkey ]] || fail "keygen printed no 64-character public key"
[[ $(stat -c %a "$T/release.key") == 600 ]] || fail "key file mode is $(stat -c %a "$T/release.key")"
[[ $(stat -c %s "$T/release.key") == 65 ]] || fail "key file is $(stat -c %s "$T/release.key") bytes"
grep -qE '^[0-9a-f]{64}$' "$T/release.key" || fail "key file is not 64 lowercase hex characters"
derived=$($PY -c '
import sys
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
from cryptography.hazmat.primitives import serialization as s
seed = bytes.fromhex(open(sys.argv[1]).read().strip())
print(Ed25519PrivateKey.from_private_bytes(seed).public_key().public_bytes(s.Encoding.Raw, s.PublicFormat.Raw).hex())
' "$T/release.key")
[[ $derived == "$pubkey" ]] || fail "public key $pubkey does not belong to the seed ($derived)"
[[ $($PUB pubkey --key "$T/release.key") == "$pubkey" ]] || fail "pubkey prints another key"
before=$(sha256sum <"$T/release.key")
run keygen2 "$PUB" keygen --out "$T/release.key"
expect_refused "second keygen onto the same file" keygen2 "already exists"
[[ $(sha256sum <"$T/release.key") == "$before" ]] || fail "existing key file was changed"
ln -s "$T/elsewhere.key" "$T/link.key"
run keygen3 "$PUB" keygen --out "$T/link.key"
[[ $rc -ne 0 && ! -e "$T/elsewhere.key" ]] || fail "keygen followed a dangling symbolic link"
run keygen4 "$PUB" keygen --out "$T/other.key"
[[ $(grep -E '^[0-9a-f]{64}$' "$T/keygen4.out") != "$pubkey" ]] || fail "two keygens gave the same key"

section "build, then verify and an independent check of signature, manifest and objects"
$PY "$GEN" create "$T/game" --files 80 --size 6M --seed 7 >/dev/null || fail "sample game"
cat >"$T/news.json" <<'EOF'
[{"date": "2026-05-01", "title": "Patch 1.2 \"Ilha\"", "text": "Região Norte\nnova", "type": "patch",
  "image": "news/ilha.png", "title_pt": "Atualização", "url": "https://www.quorvel.net/n/1"},
 {"title": "Second", "text_de": "Zweite \u00fc", "author": "Orsk"}]
EOF
cat >"$T/links.json" <<'EOF'
{"website": "https://www.quorvel.net/", "forum": "https://forum.quorvel.net/?a=1&b=\"2\"", "support": "mailto:help@quorvel.net"}
EOF
build_args=(--key "$T/release.key" --launcher Quorvel.exe --game-exe "Play Quorvel.exe"
  --keep config/default.cfg --delete old/removed.dll --delete "Dados velhos/x.txt"
  --news "$T/news.json" --links "$T/links.json")
run build1 "$PUB" build "$T/game" "$T/rel" --version 5 "${build_args[@]}"
expect_ok "first build" build1
grep -q "new objects: " "$T/build1.out" || fail "no summary"
run verify1 "$PUB" verify "$T/rel" --public-key "$pubkey"
expect_ok "verify of a fresh release" verify1
grep -q '^OK' "$T/verify1.out" || fail "verify does not say OK"
run check1 $PY "$CHECK" "$T/rel" "$T/game" "$pubkey" --version 5 --launcher Quorvel.exe \
  --game-exe "Play Quorvel.exe" --keep config/default.cfg --delete old/removed.dll \
  --delete "Dados velhos/x.txt" --news "$T/news.json" --links "$T/links.json"
expect_ok "independent check" check1
objects=$(find "$T/rel/files" -name '*.z' | wc -l)
distinct=$(find "$T/game" -type f -print0 | xargs -0 sha256sum | cut -c1-64 | sort -u | wc -l)
[[ $objects -eq $distinct ]] || fail "$objects objects for $distinct distinct contents"
grep -q "new objects: $distinct " "$T/build1.out" || fail "summary does not count $distinct new objects"
cmp -s "$T/game/config/default.cfg" "$T/game/config/backup/default.cfg" || fail "sample game has no duplicates"
run verify_wrongkey "$PUB" verify "$T/rel" --public-key "$(grep -E '^[0-9a-f]{64}$' "$T/keygen4.out")"
expect_refused "verify with another public key" verify_wrongkey "not a valid signature"
run news_refused "$PUB" build "$T/game" "$T/rel" --version 5 --key "$T/release.key" --news <(echo '[{"text":"no title"}]')
expect_refused "news item without title" news_refused "news item 1 has no title"
run links_refused "$PUB" build "$T/game" "$T/rel" --version 5 --key "$T/release.key" --links <(echo '{"a":"x","b":2}')
expect_refused "link that is not a string" links_refused 'link "b" must be a string'
run news_json "$PUB" build "$T/game" "$T/rel" --version 5 --key "$T/release.key" --news <(echo '[{"title":"x"},]')
expect_refused "news that the reader refuses" news_json "valor invalido"

section "re-publishing writes only objects for changed content"
objects_before=$(cd "$T/rel/files" && find . -name '*.z' | sort)
stamp_before=$(cd "$T/rel/files" && find . -name '*.z' -printf '%p %T@ %i\n' | sort)
run build2 "$PUB" build "$T/game" "$T/rel" --version 5 "${build_args[@]}"
expect_ok "unchanged re-publish" build2
grep -q "new objects: 0 " "$T/build2.out" || { fail "unchanged game wrote objects"; cat "$T/build2.out"; }
[[ $(cd "$T/rel/files" && find . -name '*.z' -printf '%p %T@ %i\n' | sort) == "$stamp_before" ]] ||
  fail "unchanged re-publish touched objects"
$PY "$GEN" change "$T/game" --percent 3 --seed 2 >"$T/changed.txt"
changed=$(wc -l <"$T/changed.txt")
printf 'brand new file\n' >"$T/game/data/new file.txt"
expected_new=$( (cat "$T/changed.txt"; echo "data/new file.txt") | while IFS= read -r p; do
  sha256sum <"$T/game/$p" | cut -c1-64; done | sort -u)
run build3 "$PUB" build "$T/game" "$T/rel" --version 6 "${build_args[@]}"
expect_ok "re-publish after a change" build3
objects_after=$(cd "$T/rel/files" && find . -name '*.z' | sort)
written=$(comm -13 <(echo "$objects_before") <(echo "$objects_after") | sed 's|.*/||; s|\.z$||' | sort)
[[ "$written" == "$expected_new" ]] || fail "objects written after changing $changed files are not exactly theirs"
grep -q "new objects: $(echo "$expected_new" | wc -l) " "$T/build3.out" || fail "summary miscounts new objects"
run check3 $PY "$CHECK" "$T/rel" "$T/game" "$pubkey" --version 6 --launcher Quorvel.exe --keep config/default.cfg \
  --delete old/removed.dll --delete "Dados velhos/x.txt"
expect_ok "independent check after re-publish" check3
# A damaged object already in place is rewritten, not trusted.
victim=$(find "$T/rel/files" -name '*.z' -size +2k | sort | head -1)
truncate -s 100 "$victim"
run build4 "$PUB" build "$T/game" "$T/rel" --version 6 "${build_args[@]}"
expect_ok "re-publish over a damaged object" build4
grep -q "replaced a damaged object" "$T/build4.out" || fail "damaged object not reported"
run verify4 "$PUB" verify "$T/rel" --public-key "$pubkey"
expect_ok "verify after the damaged object was replaced" verify4

section "a lower version is refused and leaves the release alone"
manifest_before=$(sha256sum <"$T/rel/manifest.json")
run lower "$PUB" build "$T/game" "$T/rel" --version 5 "${build_args[@]}"
expect_refused "lower version" lower "version 5 is lower than version 6"
[[ $(sha256sum <"$T/rel/manifest.json") == "$manifest_before" ]] || fail "refused build changed the manifest"
run negative "$PUB" build "$T/game" "$T/rel" --version -1 --key "$T/release.key"
expect_refused "negative version" negative "--version"

section "paths that installers refuse are refused, naming the file"
for name in "a." "b " "c:d" "e?f" "g*h" 'i"j' "k|l" "m<n" "sub dir./x" "nul.txt" "x/CON" 'back\slash' \
    "com0" 'conin$' "lpt$(printf '\xc2\xb9').log" "con .txt"; do
  rm -rf "$T/bad" "$T/badrel"
  mkdir -p "$T/bad/data" "$T/bad/$(dirname "$name")"
  echo ok >"$T/bad/data/fine.txt"
  echo bad >"$T/bad/$name"
  run badpath "$PUB" build "$T/bad" "$T/badrel" --version 1 --key "$T/release.key"
  first=${name%%/*}
  [[ $name == */* && $first == *. ]] || first=$name
  expect_refused "file named '$name'" badpath "\"$first\""
  [[ ! -e "$T/badrel/manifest.json" ]] || fail "a manifest was written for '$name'"
done
rm -rf "$T/bad" && mkdir -p "$T/bad" && echo 1 >"$T/bad/Readme.txt" && echo 2 >"$T/bad/README.txt"
run casepath "$PUB" build "$T/bad" "$T/badrel" --version 1 --key "$T/release.key"
expect_refused "names differing only in case" casepath "differ only in case"
rm -rf "$T/bad" && mkdir -p "$T/bad" && printf 'x' >"$T/bad/$(printf 'bad\xffname')"
run utf8path "$PUB" build "$T/bad" "$T/badrel" --version 1 --key "$T/release.key"
expect_refused "name that is not UTF-8" utf8path 'bad\xffname'
run inside "$PUB" build "$T/game" "$T/game/release" --version 1 --key "$T/release.key"
expect_refused "release folder inside the game folder" inside "inside the game folder"
section "the installer's own files are refused in the game and in the delete list"
for own in "bin/Uninstall Quorvel.exe" "bin/quorvel.install" "config/patcher.ini" "config/Patcher_Cache.dat" \
    "patcher_parts" "Data/map.pak.ap_tmp"; do
  rm -rf "$T/bad" "$T/badrel"
  mkdir -p "$T/bad/$(dirname "$own")"
  echo ok >"$T/bad/fine.txt"
  echo own >"$T/bad/$own"
  run ownfile "$PUB" build "$T/bad" "$T/badrel" --version 1 --key "$T/release.key"
  expect_refused "game file '$own'" ownfile "\"$own\": the installer keeps its own files"
  [[ ! -e "$T/badrel/manifest.json" ]] || fail "a manifest was written with '$own'"
  run owndel "$PUB" build "$T/game" "$T/badrel" --version 1 --key "$T/release.key" --delete "${own^^}"
  expect_refused "deleting '$own'" owndel "the installer keeps its own files"
done
run delpub "$PUB" build "$T/game" "$T/badrel" --version 1 --key "$T/release.key" --delete README.TXT
expect_refused "deleting a published file" delpub "listed for deletion"
run missing_launcher "$PUB" build "$T/game" "$T/badrel" --version 1 --key "$T/release.key" --launcher nope.exe
expect_refused "launcher that is not in the game" missing_launcher '"nope.exe"'

section "verify finds every kind of damage"
damage() {  # name, then a command run inside a copy of the release
  local name=$1; shift
  rm -rf "$T/dmg" && cp -a "$T/rel" "$T/dmg"
  (cd "$T/dmg" && eval "$*")
  run "verify_$name" "$PUB" verify "$T/dmg" --public-key "$pubkey"
}
obj=$(grep -o '"p":"Play Quorvel.exe","h":"[0-9a-f]*"' "$T/rel/manifest.json" | grep -o '[0-9a-f]\{64\}')
objpath="files/${obj:0:2}/$obj.z"
damage byte '$PY -c "
import sys; d = bytearray(open(\"manifest.json\", \"rb\").read()); d[len(d) // 2] ^= 1
open(\"manifest.json\", \"wb\").write(d)"'
expect_refused "one manifest byte changed" verify_byte "not a valid signature"
damage newline 'printf "\n" >>manifest.json'
expect_refused "trailing newline added to the manifest" verify_newline "not a valid signature"
damage sig63 'truncate -s 63 manifest.sig'
expect_refused "63-byte signature" verify_sig63 "63 bytes"
damage missing "rm '$objpath'"
expect_refused "missing object" verify_missing "\"Play Quorvel.exe\": $objpath missing"
damage truncated "truncate -s -7 '$objpath'"
expect_refused "truncated object" verify_truncated "not a complete zlib stream"
damage wronghash "$PY -c \"
import zlib, sys; p = '$objpath'; d = bytearray(zlib.decompress(open(p, 'rb').read())); d[0] ^= 1
open(p, 'wb').write(zlib.compress(bytes(d)))\""
expect_refused "object with other content of the same size" verify_wronghash "another SHA-256"
damage trailing "printf x >>'$objpath'"
expect_refused "object with a byte after its stream" verify_trailing "bytes after the end"
damage rawdeflate "$PY -c \"
import zlib; p = '$objpath'; d = zlib.decompress(open(p, 'rb').read()); c = zlib.compressobj(9, zlib.DEFLATED, -15)
open(p, 'wb').write(c.compress(d) + c.flush())\""
expect_refused "raw deflate object" verify_rawdeflate "not a complete zlib stream"
# Signed with the right key but describing a path installers refuse: the parse rules catch it.
damage badentry "$PY -c \"
import json
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
m = json.load(open('manifest.json', encoding='utf-8'))
m['files'][0]['p'] = '../evil.dll'; m['files'][1]['h'] = m['files'][1]['h'].upper()
raw = json.dumps(m).encode()
open('manifest.json', 'wb').write(raw)
key = Ed25519PrivateKey.from_private_bytes(bytes.fromhex(open('$T/release.key').read().strip()))
open('manifest.sig', 'wb').write(key.sign(raw))\""
expect_refused "signed manifest with a refused path" verify_badentry '"../evil.dll": the installer refuses the path'
grep -q "capital letters" "$T/verify_badentry.out" || fail "uppercase hash not reported"
grep -q "not a valid signature" "$T/verify_badentry.out" && fail "re-signed manifest reported as badly signed"
run verify_usage "$PUB" verify "$T/rel" --public-key 1234
[[ $rc -eq 2 ]] || fail "a short public key is not a usage error"

section "a large file also goes out in pieces cut where its content says, each stored once, together the file"
mkdir -p "$T/pgame"
$PY -c 'import random,sys; random.seed(3); sys.stdout.buffer.write(random.randbytes(5 * 1048576 + 77))' >"$T/pgame/big.pak"
head -c 3000000 "$T/pgame/big.pak" >"$T/pgame/small.pak"  # under the threshold: whole only
run pbuild "$PUB" build "$T/pgame" "$T/prel" --key "$T/release.key" --version 1
expect_ok "build with a large file" pbuild
pieces=$($PY "$(dirname "$0")/gear_cut.py" "$T/pgame/big.pak" | wc -l)
grep -q "files also in pieces: 1 ($pieces pieces)" "$T/pbuild.out" || fail "the pieces are not reported"
# The pieces read independently: cut where the rule says, each object against its hash, in order the file.
run pcheck $PY -c '
import hashlib, json, sys, zlib
sys.path.insert(0, sys.argv[3])
from gear_cut import cut
rel, game = sys.argv[1], sys.argv[2]
manifest = json.load(open(rel + "/manifest.json"))
assert manifest["pieces"] == {"rule": "gear", "min": 262144, "avg": 1048576, "max": 4194304}, manifest["pieces"]
files = {f["p"]: f for f in manifest["files"]}
assert "x" not in files["small.pak"], "a small file has pieces"
big, data = files["big.pak"], open(game + "/big.pak", "rb").read()
assert [p["s"] for p in big["x"]] == cut(data), "the pieces are not cut where the rule says"
whole, at = hashlib.sha256(), 0
for k, piece in enumerate(big["x"]):
    obj = open("%s/files/%s/%s.z" % (rel, piece["h"][:2], piece["h"]), "rb").read()
    body = zlib.decompress(obj)
    assert body == data[at:at + piece["s"]], "piece %d is not its slice" % k
    assert hashlib.sha256(body).hexdigest() == piece["h"] and len(obj) == piece["c"]
    whole.update(body)
    at += len(body)
assert whole.hexdigest() == big["h"] == hashlib.sha256(data).hexdigest(), "the pieces are not the file"
' "$T/prel" "$T/pgame" "$(dirname "$0")"
expect_ok "the pieces against the file" pcheck
run pverify "$PUB" verify "$T/prel" --public-key "$pubkey"
expect_ok "verify of a release with pieces" pverify
cp -a "$T/prel" "$T/prelcut"
printf 'x' | dd of="$T/pgame/big.pak" bs=1 seek=$((2 * 1048576 + 5)) conv=notrunc status=none
run pbuild2 "$PUB" build "$T/pgame" "$T/prel" --key "$T/release.key" --version 2
expect_ok "re-publish with one piece changed" pbuild2
grep -q "new objects: 2 " "$T/pbuild2.out" || fail "one changed piece should add two objects (it and the whole file)"
piece=$($PY -c 'import json,sys; print(next(f for f in json.load(open(sys.argv[1]))["files"] if f["p"] == "big.pak")["x"][2]["h"])' "$T/prel/manifest.json")
printf 'Z' | dd of="$T/prel/files/${piece:0:2}/$piece.z" bs=1 seek=500 conv=notrunc status=none
run pverify2 "$PUB" verify "$T/prel" --public-key "$pubkey"
expect_refused "verify of a damaged piece" pverify2 "piece 3 files/${piece:0:2}/$piece.z"
# Pieces listed under other bounds than the ones they were cut with: installers would find none.
run recut $PY -c "
import json
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
m = json.load(open('$T/prelcut/manifest.json'))
m['pieces']['avg'] = 524288
raw = json.dumps(m).encode()
open('$T/prelcut/manifest.json', 'wb').write(raw)
key = Ed25519PrivateKey.from_private_bytes(bytes.fromhex(open('$T/release.key').read().strip()))
open('$T/prelcut/manifest.sig', 'wb').write(key.sign(raw))"
run pverifycut "$PUB" verify "$T/prelcut" --public-key "$pubkey"
expect_refused "pieces cut under other bounds" pverifycut "does not end where gear 262144 524288 4194304 cuts the file"
run pbuild3 "$PUB" build "$T/pgame" "$T/prel0" --key "$T/release.key" --version 1 --chunk-threshold 0
expect_ok "build without pieces" pbuild3
grep -q '"x"' "$T/prel0/manifest.json" && fail "--chunk-threshold 0 still wrote pieces"

section "a manifest far beyond 64 KiB is signed, verified and checked independently"
$PY "$GEN" create "$T/biggame" --files 2500 --size 4M --seed 11 >/dev/null || fail "large sample game"
run buildbig "$PUB" build "$T/biggame" "$T/relbig" --key "$T/release.key" --version 1
expect_ok "build with a large manifest" buildbig
size=$(stat -c %s "$T/relbig/manifest.json" 2>/dev/null || echo 0)
((size > 200000)) || fail "the large manifest is only $size bytes"
run verifybig "$PUB" verify "$T/relbig" --public-key "$pubkey"
expect_ok "verify of the large release" verifybig
run checkbig $PY "$CHECK" "$T/relbig" "$T/biggame" "$pubkey" --version 1
expect_ok "independent check of the large release" checkbig

section "signed expiry: --valid-days, the week's warning, resign changes nothing but the expiry"
grep -q '"expires"' "$T/rel/manifest.json" && fail "a release built without --valid-days expires"
run exp1 "$PUB" build "$T/game" "$T/relx" --key "$T/release.key" --version 3 --valid-days 3
expect_ok "build --valid-days 3" exp1
want=$(date -u -d '+3 days' +%Y-%m-%dT%H)
expires() { $PY -c 'import json,sys; print(json.load(open(sys.argv[1])).get("expires", "none"))' "$1/manifest.json"; }
[[ $(expires "$T/relx") == "$want"* ]] || fail "expires is $(expires "$T/relx"), expected $want..."
run exp2 "$PUB" verify "$T/relx" --public-key "$pubkey"
expect_ok "verify of a release three days from expiry" exp2
grep -q '^WARNING: the release expires at' "$T/exp2.out" || fail "no warning three days before expiry"
without=$($PY -c 'import json,sys; m=json.load(open(sys.argv[1])); m.pop("expires"); print(json.dumps(m, sort_keys=True))' "$T/relx/manifest.json")
run exp3 "$PUB" resign "$T/relx" --key "$T/release.key" --valid-days 30
expect_ok "resign --valid-days 30" exp3
[[ $(expires "$T/relx") == "$(date -u -d '+30 days' +%Y-%m-%dT%H)"* ]] || fail "resign did not move the expiry"
[[ $($PY -c 'import json,sys; m=json.load(open(sys.argv[1])); m.pop("expires"); print(json.dumps(m, sort_keys=True))' "$T/relx/manifest.json") == "$without" ]] ||
  fail "resign changed more than the expiry"
run exp4 $PY "$CHECK" "$T/relx" "$T/game" "$pubkey" --version 3
expect_ok "independent check of the re-signed release" exp4
run exp5 "$PUB" verify "$T/relx" --public-key "$pubkey"
grep -q 'WARNING' "$T/exp5.out" && fail "a release 30 days from expiry is warned about"
run exp6 "$PUB" resign "$T/relx" --key "$T/release.key" --expires 2020-01-01T00:00:00Z
run exp7 "$PUB" verify "$T/relx" --public-key "$pubkey"
expect_refused "verify of an expired release" exp7 "the release expired at 2020-01-01T00:00:00Z"
run exp8 "$PUB" resign "$T/rel" --key "$T/other.key" --valid-days 7
expect_refused "resign with another key" exp8 "not this key's signature"
run exp10 "$PUB" resign "$T/rel" --key "$T/release.key" --valid-days 7
expect_ok "resign of a release that had no expiry" exp10
run exp11 $PY "$CHECK" "$T/rel" "$T/game" "$pubkey" --version 6 --launcher Quorvel.exe --keep config/default.cfg \
  --delete old/removed.dll --delete "Dados velhos/x.txt"
expect_ok "independent check after adding an expiry" exp11

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all publish checks passed"
