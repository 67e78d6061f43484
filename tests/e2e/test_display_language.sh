#!/usr/bin/env bash
# The wizard's and the launcher's default languages follow the Windows display language
# (Wine derives it from LANG): a German system gets German, a Greek one an English wizard
# with a Greek launcher default, anything unknown English.
set -euo pipefail
exe="$QV_BUILD_DIR/qv_tests.exe"
status=0
check() {  # locale, expected "installer,launcher"
  local out
  out=$(LANG=$1 LC_ALL=$1 QV_EXPECT_LANGUAGE=$2 wine "$exe" --gtest_filter='DisplayLanguage.*' 2>&1 </dev/null) || true
  if grep -q '^\[  PASSED  \] 1 test' <<<"$out" && ! grep -q 'SKIPPED' <<<"$out"; then
    echo "ok   $1 -> $2"
  else
    echo "FAIL $1 -> expected $2"; echo "$out"; status=1
  fi
}
check de_DE.UTF-8 de,de
check el_GR.UTF-8 en,gr
check cs_CZ.UTF-8 cz,cz
check pt_BR.UTF-8 pt,pt
check tr_TR.UTF-8 tr,tr
check ro_RO.UTF-8 ro,ro
check ja_JP.UTF-8 en,en
check en_US.UTF-8 en,en
exit $status
