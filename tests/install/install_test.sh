#!/usr/bin/env bash
# Installs a build tree into a temporary prefix (with a blank in its name) and
# checks the installed tree. Run by CTest:
#   install_test.sh --cmake CMAKE --build DIR --targets a,b,c --expect-orbel 0|1 --probe FILE
set -uo pipefail
export LC_ALL=C.UTF-8   # the checks read UTF-8 texts

cmake_bin=cmake build="" targets="" expect_orbel=1 probe=""
while [ $# -gt 0 ]; do
    case "$1" in
        --cmake) cmake_bin=$2; shift 2 ;;
        --build) build=$2; shift 2 ;;
        --targets) targets=$2; shift 2 ;;
        --expect-orbel) expect_orbel=$2; shift 2 ;;
        --probe) probe=$2; shift 2 ;;
        *) echo "install_test: unknown argument $1" >&2; exit 2 ;;
    esac
done
[ -n "$build" ] && [ -n "$probe" ] || { echo "install_test: --build and --probe are needed" >&2; exit 2; }

passed=0 failed=0
pass() { passed=$((passed + 1)); }
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
check() { local what=$1; shift; if "$@"; then pass; else fail "$what"; fi; }

work=$(mktemp -d "${TMPDIR:-/tmp}/orbel-install.XXXXXX")
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT
prefix="$work/prefix dir"

# The programs must be built before they can be installed.
if [ -n "$targets" ]; then
    IFS=, read -r -a target_list <<<"$targets"
    if ! "$cmake_bin" --build "$build" --parallel 2 --target "${target_list[@]}" >"$work/build.log" 2>&1; then
        cat "$work/build.log"
        echo "install_test: building ${target_list[*]} failed"
        exit 1
    fi
fi

if ! "$cmake_bin" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "install_test: cmake --install failed"
    exit 1
fi

# ---- every file in its place -----------------------------------------------
files=(
    bin/orbel-sim
    bin/orbel-cli
    bin/orbel-gateway
    share/man/man1/orbel.1.gz
    share/man/man1/orbel-cli.1.gz
    share/man/man1/orbel-gateway.1.gz
    lib/systemd/system/orbel-gateway@.service
    share/man/man1/orbel-sim.1.gz
    share/doc/orbel/changelog.gz
    share/doc/orbel/copyright
    share/locale/ru/LC_MESSAGES/cport.mo
    share/applications/orbel.desktop
    share/icons/hicolor/scalable/apps/orbel.svg
)
programs=(bin/orbel-sim bin/orbel-cli bin/orbel-gateway)
if [ "$expect_orbel" = 1 ]; then
    files+=(bin/orbel)
    programs+=(bin/orbel)
fi
for f in "${files[@]}"; do
    check "$f is missing or empty" test -s "$prefix/$f"
done
for p in "${programs[@]}"; do
    [ -e "$prefix/$p" ] || continue
    check "$p is not executable" test -x "$prefix/$p"
    # Every shared library resolves from the installed place...
    if ldd "$prefix/$p" | grep -q 'not found'; then
        fail "$p has unresolved libraries: $(ldd "$prefix/$p" | grep 'not found' | tr -s ' \t\n' ' ')"
    else
        pass
    fi
    # ...without a run path into the build tree.
    if readelf -d "$prefix/$p" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
        fail "$p keeps a run path into the build tree"
    else
        pass
    fi
done

# Nothing lands outside the prefix: every path the install reported is in it.
outside=$(grep -E '^-- (Installing|Up-to-date): ' "$work/install.log" | sed -E 's/^-- [A-Za-z-]+: //' |
          grep -vF "$prefix/" || true)
check "files installed outside the prefix: $outside" test -z "$outside"

# ---- desktop entry ---------------------------------------------------------
desktop="$prefix/share/applications/orbel.desktop"
if [ -f "$desktop" ]; then
    if command -v desktop-file-validate >/dev/null; then
        if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then pass; else fail "desktop entry: $out"; fi
    else
        fail "desktop-file-validate is missing (scripts/install-deps.sh installs it)"
    fi
    for line in 'Type=Application' 'Name=ОРБЕЛ' 'Exec=orbel' 'Icon=orbel' 'Terminal=false'; do
        check "desktop entry lacks the line $line" grep -qxF "$line" "$desktop"
    done
    check "desktop entry is not in the Utility category" grep -qE '^Categories=(.*;)?Utility(;|$)' "$desktop"
    check "desktop entry lacks an English comment" grep -qE '^Comment=[A-Za-z].+' "$desktop"
    check "desktop entry lacks a Russian comment" grep -qP '^Comment\[ru\]=.*\p{Cyrillic}' "$desktop"
fi

# ---- icon ------------------------------------------------------------------
icon="$prefix/share/icons/hicolor/scalable/apps/orbel.svg"
if [ -f "$icon" ]; then
    check "icon is not an SVG document with a view box" grep -qE '<svg[^>]*viewBox=' "$icon"
    check "icon does not end its SVG document" grep -q '</svg>[[:space:]]*$' "$icon"
fi

# ---- the installed simulator runs --------------------------------------------
sim="$prefix/bin/orbel-sim"
if [ -x "$sim" ]; then
    if help=$(env -u LD_LIBRARY_PATH "$sim" --help 2>&1) && grep -q -- '--link' <<<"$help"; then
        pass
    else
        fail "installed orbel-sim --help did not exit 0 with its usage: $help"
    fi
    # It serves: the first line names its pseudo-terminal, SIGTERM ends it with 0.
    coproc SIM { exec env -u LD_LIBRARY_PATH "$sim"; }
    sim_pid=$SIM_PID
    device=""
    read -r -t 10 device <&"${SIM[0]}"
    check "installed orbel-sim did not name a terminal device (got '$device')" test -c "$device"
    kill -TERM "$sim_pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$sim_pid" 2>/dev/null; then
        kill -KILL "$sim_pid" 2>/dev/null
        fail "installed orbel-sim did not end within 5 s of SIGTERM"
    fi
    wait "$sim_pid"
    status=$?
    sim_pid=""
    check "installed orbel-sim ended with $status on SIGTERM" test "$status" -eq 0
fi

# ---- the installed terminal front end runs, its manual page reads -----------
cli="$prefix/bin/orbel-cli"
if [ -x "$cli" ]; then
    if out=$(env -u LD_LIBRARY_PATH "$cli" --version 2>&1) && grep -q '^orbel-cli [0-9]' <<<"$out"; then
        pass
    else
        fail "installed orbel-cli --version did not exit 0 with its version: $out"
    fi
fi
for page in orbel orbel-cli orbel-sim; do
    gz="$prefix/share/man/man1/$page.1.gz"
    [ -f "$gz" ] || continue
    check "$page.1.gz does not start with its .TH line" \
        bash -c "gzip -dc '$gz' | head -1 | grep -q '^\.TH '"
done

# ---- the catalogue is found from the installed bin/ folder ---------------------
if [ -d "$prefix/bin" ]; then
    cp "$probe" "$prefix/bin/"
    mapfile -t found < <(env -u ORBEL_LOCALEDIR LANGUAGE=ru LC_ALL=C.UTF-8 LANG=C.UTF-8 \
                         "$prefix/bin/$(basename "$probe")")
    expected_dir=$(realpath "$prefix/share/locale")
    check "catalogue folder seen from bin/ is '${found[0]:-}', not $expected_dir" \
        test "${found[0]:-}" = "$expected_dir"
    check "the installed catalogue did not translate the port errors ('${found[1]:-}')" \
        test -n "${found[1]:-}" -a "${found[1]:-}" != "Unable to open com port"
fi

echo "install_test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
