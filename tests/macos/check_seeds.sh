#!/usr/bin/env bash
# Proves that the macOS backend check still has teeth: every seed file holds
# one known fault and names the pass that must reject it and the diagnostic
# it must print ("// expect PASS: TEXT"); "// clean PASS" lines name passes
# that file must get through, so that the fault is the only thing wrong.
# usage: check_seeds.sh CLANGXX
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
check="$here/../../tools/macos-check"
clang=${1:-clang++}
failures=0
for seed in "$here"/seeds/*.mm; do
  name=$(basename "$seed")
  expect=$(sed -n 's|^// expect \([a-z]*\): \(.*\)$|\1\t\2|p' "$seed" | head -n1)
  [ -n "$expect" ] || { echo "FAIL $name: no expect line"; failures=$((failures + 1)); continue; }
  pass=${expect%%$'\t'*}
  text=${expect#*$'\t'}
  if output=$("$check" --clang "$clang" "$pass" -- "$seed" 2>&1); then
    echo "FAIL $name: the $pass pass accepted it"
    failures=$((failures + 1))
  elif ! grep -qF -- "$text" <<<"$output"; then
    echo "FAIL $name: the $pass pass rejected it without \"$text\":"
    grep -E 'error' <<<"$output" | head -n5
    failures=$((failures + 1))
  else
    echo "ok   $name: $pass: $(grep -F -- "$text" <<<"$output" | head -n1)"
  fi
  for clean in $(sed -n 's|^// clean \([a-z]*\)$|\1|p' "$seed"); do
    if ! output=$("$check" --clang "$clang" "$clean" -- "$seed" 2>&1); then
      echo "FAIL $name: the $clean pass should accept it:"
      grep -E 'error' <<<"$output" | head -n5
      failures=$((failures + 1))
    fi
  done
done
[ $failures -eq 0 ] || { echo "$failures seed check(s) failed"; exit 1; }
