#!/usr/bin/env bash
# Builds the macOS backend's conversion, window-list, accessibility,
# launcher and capture-arithmetic code against the fake CoreFoundation in
# tests/macos/cf/ with clang, with the portable accessibility operations
# (src/ax/) on top, and runs its tests.
# usage: run_cf_test.sh CLANGXX
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
clang=${1:-clang++}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
flags=(-std=c++20 -g -O1 -fsanitize=address,undefined -fno-sanitize-recover=undefined
       -Wall -Wextra -Werror -I "$top/src" -I "$here/cf" -isystem "$top/tools/macos-sdk-decls")
for mm in cf windows ax task; do
  "$clang" -c "${flags[@]}" -x objective-c++ -fobjc-arc -fobjc-runtime=macosx \
    "$top/src/platform/macos/$mm.mm" -o "$dir/$mm.o"
done
for cpp in attributes focus paths text tree; do
  "$clang" -c "${flags[@]}" "$top/src/ax/$cpp.cpp" -o "$dir/ax_$cpp.o"
done
"$clang" -c "${flags[@]}" "$here/cf/fake_cf.cpp" -o "$dir/fake_cf.o"
for test in cf_test ax_test operations_test task_test capture_test; do
  "$clang" -c "${flags[@]}" "$here/cf/$test.cpp" -o "$dir/$test.o"
done
"$clang" -fsanitize=address,undefined "$dir"/*.o -lgtest -lgtest_main -lutf8proc -pthread -o "$dir/cf_test"
"$dir/cf_test"
