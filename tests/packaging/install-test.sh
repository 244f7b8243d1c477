#!/usr/bin/env bash
# install-test.sh install|package BUILD_DIR APP_ID
#
# install: cmake --install into a scratch prefix.
# package: cpack builds the .deb, which lintian checks and dpkg -x unpacks
#          into a scratch root, after checking its declared dependencies.
# Then the desktop entry, icons, AppStream metadata and manual pages are
# checked as a desktop and a packager would, and from an unrelated working
# folder the installed capture tool runs three headless frames and writes a
# screenshot where the caller asked, and the installed program starts in its
# data folder and keeps running.
set -u

mode="$1"
build="$(cd "$2" && pwd)"
app_id="$3"
. "$(dirname "${BASH_SOURCE[0]}")/../support/shell-test.sh"

case "$mode" in
install)
    prefix="$scratch/prefix"
    if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
        cat "$scratch/install.log"
        echo "FAIL: cmake --install failed"
        exit 1
    fi
    ;;
package)
    if ! (cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1); then
        cat "$scratch/cpack.log"
        echo "FAIL: cpack failed"
        exit 1
    fi
    deb="$(ls "$scratch"/out/tarnvale_*.deb 2>/dev/null | head -n 1)"
    if [ -z "$deb" ]; then
        echo "FAIL: no tarnvale_*.deb made"
        exit 1
    fi
    echo "package: $(basename "$deb")"
    depends="$(dpkg-deb -f "$deb" Depends)"
    echo "Depends: $depends"
    # No error or warning from Debian's package checker (information is
    # shown, not judged).
    lintian_out="$(lintian --fail-on error,warning "$deb" 2>&1)"
    lintian_status=$?
    echo "$lintian_out" | grep -v 'running with root privileges'
    [ "$lintian_status" -eq 0 ] || fail "lintian reports errors or warnings"
    for need in libsdl2-2.0-0 libepoxy0 libpng16-16 libstdc++6 libc6 libgl1 libegl1 libgl1-mesa-dri; do
        case ", $depends," in
            *", $need"[\ ,]*) ;;
            *) fail "Depends lacks $need" ;;
        esac
    done
    root="$scratch/root"
    dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x"; exit 1; }
    prefix="$root/usr"
    ;;
*)
    echo "usage: $0 install|package BUILD_DIR" >&2
    exit 2
    ;;
esac

# The layout.
for file in bin/tarnvale bin/tarnvale-capture libexec/tarnvale/tarnvale libexec/tarnvale/tarnvale-capture; do
    [ -x "$prefix/$file" ] || fail "$file is missing or not executable"
done
for file in superellipsoid.vsh superellipsoid.psh textfont.vsh res/smallfonts128x128.png res/cueball.png \
            res/1-ball.png res/15-ball.png; do
    [ -f "$prefix/share/tarnvale/$file" ] || fail "share/tarnvale/$file is missing"
done
images="$(ls "$prefix"/share/tarnvale/res/*.png 2>/dev/null | wc -l)"
[ "$images" -eq 17 ] || fail "share/tarnvale/res holds $images images, expected 17"
# Nothing of the build or the tests comes along.
extra="$(cd "$prefix" && find . -type f |
         grep -Ev '^\./(bin|libexec/tarnvale|share/tarnvale|share/doc/tarnvale|share/man/man[16]|share/icons/hicolor/[0-9]+x[0-9]+/apps)/' |
         grep -Fxv -e "./share/applications/$app_id.desktop" -e "./share/metainfo/$app_id.metainfo.xml" || true)"
[ -z "$extra" ] || fail "unexpected files installed: $extra"

# The licence and the changelog.
grep -q '^License: Expat' "$prefix/share/doc/tarnvale/copyright" || fail "share/doc/tarnvale/copyright lacks the licence"
gzip -t "$prefix/share/doc/tarnvale/changelog.gz" 2>/dev/null || fail "share/doc/tarnvale/changelog.gz is missing or damaged"

# The desktop entry starts the installed launcher, names the icon and the
# window's class by the application id, and passes the validators; so does
# the AppStream metadata, with nothing to remark even when pedantic.
entry="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
if [ -f "$entry" ]; then
    out="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate: $out"
    for line in "Exec=tarnvale" "Icon=$app_id" "StartupWMClass=$app_id"; do
        grep -qFx "$line" "$entry" || fail "the desktop entry lacks $line"
    done
else
    fail "share/applications/$app_id.desktop is missing"
fi
if [ -f "$metainfo" ]; then
    out="$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1)"
    status=$?
    { [ "$status" -eq 0 ] && ! echo "$out" | grep -q '^[EWIP]: '; } || fail "appstreamcli validate: $out"
else
    fail "share/metainfo/$app_id.metainfo.xml is missing"
fi
for size in 16 22 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    [ "$(file -b "$icon" 2>/dev/null | cut -d, -f2)" = " $size x $size" ] || fail "no ${size}x${size} icon: $icon"
done

# Manual pages, compressed; they render without warnings, and the capture
# tool's page documents every option its --help lists.
for page in man6/tarnvale.6.gz man1/tarnvale-capture.1.gz; do
    out="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/$page" 2>&1 >/dev/null)"
    { [ -f "$prefix/share/man/$page" ] && [ -z "$out" ]; } || fail "manual page $page: missing or warnings: $out"
done
for option in $("$prefix/libexec/tarnvale/tarnvale-capture" --help | grep -o -- '--[a-z-]*' | sort -u); do
    zcat "$prefix/share/man/man1/tarnvale-capture.1.gz" | sed 's/\\-/-/g' | grep -q -- "$option" ||
        fail "tarnvale-capture.1 does not document $option"
done

# The capture tool, started from elsewhere through its launcher: a relative
# --out lands in the caller's folder.
elsewhere="$scratch/elsewhere"
mkdir -p "$elsewhere"
summary="$(cd "$elsewhere" && timeout 120 "$prefix/bin/tarnvale-capture" --frames 3 --out shot.png 2>"$scratch/capture.err")"
status=$?
[ "$status" -eq 0 ] || fail "installed tarnvale-capture exited with $status: $(cat "$scratch/capture.err")"
case "$summary" in
    *'"frames":3,'*'"exit":"frames"'*) ;;
    *) fail "unexpected summary: $summary" ;;
esac
[ -s "$elsewhere/shot.png" ] || fail "the screenshot did not land in the caller's folder"
problems="$(grep -v 'resorting to REF' "$scratch/capture.err" | grep -Ei 'cannot|missing|fail|error' || true)"
[ -z "$problems" ] || fail "the installed run reported a problem: $problems"

# The program itself, started through its launcher, must run from the data
# folder and quit in order when told to: SIGTERM, which SDL turns into a
# close once its event loop is set up, ends the message loop with status 0
# (a start that fails ends with 1 by itself). Each step waits for its
# condition, at most 60 s.
(cd "$elsewhere" && SDL_VIDEODRIVER=offscreen exec "$prefix/bin/tarnvale" >"$scratch/program.out" 2>&1) &
pid=$!
wait_for() {  # what, then a command that succeeds once it holds
    local what="$1"
    shift
    for _ in $(seq 600); do
        "$@" && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    fail "tarnvale: $what never happened: $(cat "$scratch/program.out")"
    return 1
}
runs_program() { [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$prefix/libexec/tarnvale/tarnvale" ]; }
handles_sigterm() {  # bit 15 (SIGTERM) of the caught-signal mask
    local caught
    caught="$(awk '/^SigCgt:/ { print $2 }' "/proc/$pid/status" 2>/dev/null)"
    [ -n "$caught" ] && (( (16#$caught >> 14) & 1 ))
}
if wait_for "the launcher starting the program" runs_program; then
    cwd="$(readlink "/proc/$pid/cwd" 2>/dev/null)"
    [ "$cwd" = "$prefix/share/tarnvale" ] || fail "tarnvale runs in '$cwd', expected $prefix/share/tarnvale"
    wait_for "SDL taking over SIGTERM" handles_sigterm && kill -TERM "$pid"
fi
ended() { ! kill -0 "$pid" 2>/dev/null; }
wait_for "the program ending" ended || kill -KILL "$pid" 2>/dev/null
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "tarnvale ended with status $status: $(cat "$scratch/program.out")"

finish "$mode: the installed programs run"
