#!/usr/bin/env bash
# scripts/run with the simulated box, the window played by a stand-in that ends as a closed window
# does: the run ends with the window's status (0 after a normal close), the box is told to quit and
# has ended, and no line file is left behind.
#   run_test.sh SIM IMAGE_TOOL
set -euo pipefail
sim=$1
image_tool=$2
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build=$work/build
mkdir -p "$build/tools/velmora-host" "$build/tools/velmora-stb-sim" "$build/tools/velmora-image"
ln -s "$sim" "$build/tools/velmora-stb-sim/velmora-stb-sim"
ln -s "$image_tool" "$build/tools/velmora-image/velmora-image"
# The window: notes what it was given and closes with the status the case asks for.
cat >"$build/tools/velmora-host/velmora-host" <<'HOST'
#!/usr/bin/env bash
echo "$@" >"$(dirname "$0")/args"
exit "${HOST_STATUS:-0}"
HOST
chmod +x "$build/tools/velmora-host/velmora-host"

failed=0
fail() {
  echo "FAILED: $*" >&2
  failed=1
}

for status in 0 3; do
  rm -rf "$build/demo" "$build/tools/velmora-host/args"
  set +e
  HOST_STATUS=$status DISPLAY=:velmora-test VELMORA_BUILD_DIR="$build" VELMORA_NO_BUILD=1 \
    "$repo/scripts/run" </dev/null >"$work/run.out" 2>&1
  got=$?
  set -e
  [ "$got" -eq "$status" ] || fail "the window closed with $status, the run ended with $got: $(cat "$work/run.out")"
  grep -q -- "--port /dev/pts/" "$build/tools/velmora-host/args" 2>/dev/null ||
    fail "the window was not started on the box's line"
  for left in sim.in sim.out; do
    [ ! -e "$build/demo/$left" ] || fail "build/demo/$left was left behind (window status $status)"
  done
  grep -q "sim: quit" "$build/demo/sim.log" || fail "the box was not told to quit: $(cat "$build/demo/sim.log")"
done
exit $failed
