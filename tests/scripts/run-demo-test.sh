#!/usr/bin/env bash
# Tests of scripts/run-demo with stand-in programs in a scratch build folder:
# which program it picks with and without a display, what it passes, and
# how it reports the headless run.
set -u

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$root/tests/support/shell-test.sh"

build="$scratch/build"
mkdir -p "$build/tools"
cat > "$build/tools/tarnvale-capture" <<STUB
#!/usr/bin/env bash
{ echo "args: \$*"; echo "pwd: \$(pwd)"; echo "messagebox: \${TARNVALE_MESSAGEBOX:-}"; echo "driver: \${SDL_VIDEODRIVER:-}"; } > "$scratch/capture.log"
[ -n "\${CAPTURE_STATUS:-}" ] && exit "\$CAPTURE_STATUS"
echo '{"frames":5,"device":"Stand-in device","fps_text":"FPS: 250","startup_ms":1.5,"frame_ms":{"median":4.0,"p95":5.0,"max":6.0},"exit":"frames"}'
STUB
cat > "$build/tarnvale" <<STUB
#!/usr/bin/env bash
echo "windowed in \$(pwd)" > "$scratch/tarnvale.log"
STUB
chmod +x "$build/tools/tarnvale-capture" "$build/tarnvale"

# 1. No display at all: the headless run, with message boxes on stderr.
out="$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY TARNVALE_DEMO_FRAMES=5 "$root/scripts/run-demo" "$build" 2>&1)"
status=$?
[ "$status" -eq 0 ] || fail "headless: exit status $status: $out"
expect_contains "headless" "$out" "no usable display"
expect_contains "headless" "$out" "frame rate 250.0 frames per second"
expect_contains "headless" "$out" "Stand-in device"
expect_contains "headless" "$out" 'label read "FPS: 250"'
log="$(cat "$scratch/capture.log" 2>/dev/null)"
expect_contains "headless args" "$log" "--frames 5 --real-clock --out $build/screenshot.png"
expect_contains "headless folder" "$log" "pwd: $root"
expect_contains "headless messagebox" "$log" "messagebox: stderr"
expect_contains "headless driver" "$log" "driver: offscreen"
[ -e "$scratch/tarnvale.log" ] && fail "headless: the windowed program ran"

# 2. A display that is set but does not answer counts as none.
rm -f "$scratch/capture.log"
out="$(env -u WAYLAND_DISPLAY DISPLAY=:9876 TARNVALE_DEMO_FRAMES=5 "$root/scripts/run-demo" "$build" 2>&1)"
[ -e "$scratch/capture.log" ] || fail "dead display: the headless run did not happen: $out"

# 3. The offscreen driver asked for explicitly means headless too.
rm -f "$scratch/capture.log"
out="$(DISPLAY=:0 SDL_VIDEODRIVER=offscreen TARNVALE_DEMO_FRAMES=5 "$root/scripts/run-demo" "$build" 2>&1)"
[ -e "$scratch/capture.log" ] || fail "offscreen driver: the headless run did not happen: $out"

# 4. A failing headless run fails the script with its status.
out="$(env -u DISPLAY -u WAYLAND_DISPLAY CAPTURE_STATUS=3 "$root/scripts/run-demo" "$build" 2>&1)"
status=$?
[ "$status" -eq 3 ] || fail "failing capture: exit status $status, expected 3: $out"
expect_contains "failing capture" "$out" "failed"

# 5. A missing build names what is missing.
out="$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/scripts/run-demo" "$scratch/nowhere" 2>&1)"
status=$?
[ "$status" -ne 0 ] || fail "missing build: exit status 0"
expect_contains "missing build" "$out" "tarnvale-capture is missing"

# 6. With a real display (an X server of this test's own, on a display
#    number it picks itself) the program runs windowed, from the repository
#    root.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
for _ in $(seq 100); do
  [ -s "$scratch/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
if [ -s "$scratch/display" ]; then
  out="$(cd / && DISPLAY=":$(head -n 1 "$scratch/display")" env -u SDL_VIDEODRIVER -u WAYLAND_DISPLAY "$root/scripts/run-demo" "$build" 2>&1)"
  log="$(cat "$scratch/tarnvale.log" 2>/dev/null)"
  expect_contains "windowed" "$log" "windowed in $root"
else
  fail "windowed: Xvfb did not come up (scripts/install-deps installs it): $(cat "$scratch/xvfb.log")"
fi

finish "run-demo: all cases passed"
