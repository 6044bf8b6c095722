#!/usr/bin/env bash
# Every command the README sends to the demo's control FIFO
# (echo ... > build/demo/qmt584.ctl) is one the simulator takes, and the README
# shows the ones the calibration and the service settings need.
#
#   test_readme.sh README.md qmt584-sim
set -euo pipefail
readme=$1 sim=$2

dir=$(mktemp -d)
sim_pid=
finish() {
  if [ -n "$sim_pid" ]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap finish EXIT
fail() {
  echo "demo_readme: $*" >&2
  cat "$dir/log" >&2 2>/dev/null || true
  exit 1
}

# The commands, without quotes; the ones built in a shell loop are left out.
grep -o 'echo [^>`]*> build/demo/qmt584\.ctl' "$readme" |
  sed -e 's/^echo //' -e 's/ *> build\/demo\/qmt584\.ctl$//' -e 's/^"\(.*\)"$/\1/' |
  grep -v '\$' >"$dir/commands" || true
for needed in "meter uA" "meter mV" "restart" "silent on" "wire 1 voltage +" "wire 3 current -"; do
  grep -qxF "$needed" "$dir/commands" || fail "the README shows no \"$needed\" for the demo"
done

"$sim" --link "$dir/tty" --control "$dir/ctl" >"$dir/log" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  grep -q '^ready ' "$dir/log" && break
  sleep 0.1
done
grep -q '^ready ' "$dir/log" || fail "the simulator did not start"

answers() { grep -cE '^(ok|bad) ' "$dir/log" || true; }
while IFS= read -r command; do
  before=$(answers)
  printf '%s\n' "$command" >"$dir/ctl"
  for _ in $(seq 50); do
    [ "$(answers)" -gt "$before" ] && break
    sleep 0.05
  done
  last=$(grep -E '^(ok|bad) ' "$dir/log" | tail -n 1)
  [ "$last" = "ok $command" ] || fail "the README's \"$command\" is not taken: ${last:-no answer}"
done <"$dir/commands"
echo "demo_readme: $(wc -l <"$dir/commands") commands taken"
