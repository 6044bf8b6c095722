#!/usr/bin/env bash
# scripts/run in a scratch copy of the project: it says it is building before
# the build starts, gives the simulator its control FIFO at build/demo/qmt584.ctl,
# tells how to use it, and the FIFO answers. The package installer and cmake are
# stand-ins here; the program, its library and the simulator are the ones built.
#
#   test_run.sh SOURCE_DIR QMT584_View libvornlink.so qmt584-sim qmt584-cli
set -euo pipefail
src=$1 program=$2 library=$3 sim=$4 cli=$5

root=$(mktemp -d)
run_pid=
finish() {
  if [ -n "$run_pid" ]; then
    kill -TERM -- "-$run_pid" 2>/dev/null || true
    wait "$run_pid" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap finish EXIT
fail() {
  echo "demo_run: $*" >&2
  echo "--- scripts/run said:" >&2
  cat "$root/out.txt" >&2 || true
  echo "--- the simulator's log:" >&2
  cat "$root/build/demo/qmt584-sim.log" >&2 || true
  exit 1
}

mkdir -p "$root/scripts" "$root/build" "$root/bin" "$root/built"
cp "$src/scripts/run" "$root/scripts/run"
printf '#!/bin/sh\nexit 0\n' >"$root/scripts/setup-deps"
# The stand-in build puts the programs in place, so the first run is a cold one.
cat >"$root/bin/cmake" <<STANDIN
#!/bin/sh
echo "cmake \$*"
[ "\$1" = --build ] && cp "$root"/built/* "$root/build/"
exit 0
STANDIN
chmod +x "$root/scripts/run" "$root/scripts/setup-deps" "$root/bin/cmake"
cp "$program" "$library" "$sim" "$cli" "$root/built/"

# A session of its own, so that the end takes the program and the simulator too.
PATH="$root/bin:$PATH" QT_QPA_PLATFORM=offscreen setsid "$root/scripts/run" \
  >"$root/out.txt" 2>&1 </dev/null &
run_pid=$!

for _ in $(seq 300); do
  grep -q '^run: simulated module on ' "$root/out.txt" && break
  kill -0 "$run_pid" 2>/dev/null || fail "ended before the program started"
  sleep 0.1
done
grep -q '^run: simulated module on ' "$root/out.txt" || fail "the module never came up"

building=$(grep -n '^run: building, about seven minutes at the first run on two cores$' "$root/out.txt" | cut -d: -f1 || true)
configure=$(grep -n '^cmake -S ' "$root/out.txt" | cut -d: -f1 || true)
[ -n "$building" ] || fail "no word that it is building"
[ -n "$configure" ] && [ "$building" -lt "$configure" ] || fail "the word on building came after the build"

control=$root/build/demo/qmt584.ctl
[ -p "$control" ] || fail "no control FIFO at build/demo/qmt584.ctl"
grep -qF "echo \"silent on\" > $control" "$root/out.txt" || fail "no word on how to use the FIFO"
grep -qF "echo meter > $control" "$root/out.txt" || fail "no word on the meter"

log=$root/build/demo/qmt584-sim.log
echo "silent on" >"$control"
echo meter >"$control"
for _ in $(seq 50); do
  grep -q '^ok meter$' "$log" && break
  sleep 0.1
done
grep -q '^ok silent on$' "$log" || fail "\"silent on\" was not acknowledged"
grep -qE '^meter -?[0-9]+ (uA|mV)$' "$log" || fail "no meter reading"
grep -q '^ok meter$' "$log" || fail "\"meter\" was not acknowledged"
kill -TERM -- "-$run_pid" 2>/dev/null || true
wait "$run_pid" 2>/dev/null || true

# A second run is a warm one, and --cli leaves the line to the command line.
PATH="$root/bin:$PATH" setsid "$root/scripts/run" --cli >"$root/out.txt" 2>&1 </dev/null &
run_pid=$!
for _ in $(seq 300); do
  grep -q '^run: Ctrl-C stops the simulator' "$root/out.txt" && break
  kill -0 "$run_pid" 2>/dev/null || fail "--cli ended before the simulator was up"
  sleep 0.1
done
grep -q '^run: building' "$root/out.txt" && fail "a warm run says it builds for minutes"
grep -qF 'build/demo/qmt584-cli get 264..277' "$root/out.txt" || fail "--cli does not say how to use the tool"
# The sanitizer's dlopen does not search the tool's run path; the folder is named.
(cd "$root" && LD_LIBRARY_PATH="$root/build/demo${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
  build/demo/qmt584-cli get 264..277 >"$root/cli.txt" 2>"$root/cli-err.txt") ||
  { cat "$root/cli.txt" "$root/cli-err.txt" >&2; fail "the demo's qmt584-cli does not reach the simulator"; }
[ "$(grep -c '^2[67][0-9] ' "$root/cli.txt")" -eq 14 ] ||
  { cat "$root/cli.txt" "$root/cli-err.txt" >&2; fail "not 14 registers read"; }
echo "demo_run: ok"
