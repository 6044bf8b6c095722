#!/usr/bin/env bash
# Configuring against Qt's packages, as the project's configure does, prints
# no "Could NOT find XKB": scripts/setup-deps installs what its probe looks for.
#
#   test_configure.sh CMAKE
set -euo pipefail
cmake=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat >"$dir/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(probe LANGUAGES CXX)
find_package(Qt6 REQUIRED COMPONENTS Widgets SerialPort PrintSupport)
CMAKE
if ! "$cmake" -S "$dir" -B "$dir/build" >"$dir/log" 2>&1; then
  cat "$dir/log" >&2
  echo "demo_configure_quiet: the configure failed" >&2
  exit 1
fi
if grep -q 'Could NOT find XKB' "$dir/log"; then
  grep 'Could NOT find' "$dir/log" >&2
  echo "demo_configure_quiet: the configure still probes for XKB in vain (libxkbcommon-dev)" >&2
  exit 1
fi
echo "demo_configure_quiet: ok"
