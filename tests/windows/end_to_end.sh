#!/usr/bin/env bash
# The Windows station end to end under Wine, run by `scripts/windows --ci`
# after the unit tests, with WINEPREFIX and WINEPATH set by it:
#   1. gaugemon.exe --headless on COM3, which Wine maps onto the pseudo-terminal
#      of the Linux simulator, records and exports rows; the .xls holds the
#      same bytes as the Linux station's for the same readings, the time
#      column aside;
#   2. the window under Xvfb, connected to its demonstration instrument, with
#      a screenshot;
#   3. the installer installs silently with every DLL the program needs, and
#      the uninstaller removes the program again.
# Usage: tests/windows/end_to_end.sh BUILD_WINDOWS [LINUX_BUILD] [SHOTS_DIR]
set -euo pipefail
build=$(realpath "$1")
linux=$(realpath "${2:-build}")
shots=${3:-}
stage=$build/stage
installer=$(ls "$build"/gaugemon-*-setup.exe)
: "${WINEPREFIX:?set by scripts/windows}"

work=$(mktemp -d /tmp/gaugemon-e2e.XXXXXX)
pids=()
com3=$WINEPREFIX/dosdevices/com3
com3_before=$(readlink "$com3" 2>/dev/null || true)
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -f "$com3"
  [[ -z "$com3_before" ]] || ln -s "$com3_before" "$com3"
  # The run's profiles leave nothing in the prefix: settings, journal, backups.
  local name
  for name in "$profile" "${profile}w"; do
    wine reg delete "HKCU\\Software\\VELMORA\\gaugemon-$name" /f >/dev/null 2>&1 || true
    rm -rf "${profiles:?}/$name"
  done
  rm -rf "$work"
}
profile="e2e$$"
profiles=$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")/gaugemon/profiles
trap cleanup EXIT

failures=0
pass() { echo "passed: $1"; }
fail() {
  echo "FAILED: $1"
  failures=$((failures + 1))
}
# Polls `condition` (a command) every 0.2 s for at most `seconds`.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}
log_has() { grep -q -- "$2" "$1" 2>/dev/null; }
gone() { ! kill -0 "$1" 2>/dev/null; }
# Sends `signal` to `pid` and waits for its end; its exit status, or 255.
stop() {
  kill "-$2" "$1" 2>/dev/null || true
  wait_for 30 gone "$1" || return 255
  local status=0
  wait "$1" || status=$?
  return "$status"
}

for tool in "$linux/sim/gaugesim" "$linux/src/app/gaugemon"; do
  [[ -x "$tool" ]] || cmake --build "$linux" --target gaugesim gaugemon >/dev/null
done

# A copy of the program folder, so that its backups beside the executable are
# this run's alone; a profile of its own keeps its settings apart from others.
cp -r "$stage" "$work/station"
wine "$work/station/gaugemon.exe" --version >"$work/version.txt" 2>&1 || true
wine "$work/station/gaugemon.exe" --help >"$work/help.txt" 2>&1 || true
if grep -q "^gaugemon [0-9]" "$work/version.txt" && grep -q -- "--headless" "$work/help.txt"; then
  pass "gaugemon.exe --version and --help"
else
  fail "gaugemon.exe --version and --help: $(cat "$work/version.txt" "$work/help.txt")"
fi

# --- 1. headless against the simulator on a pseudo-terminal -----------------
# Each probe holds its own value, a negative one among them, so that the
# columns, their order and the signs are compared too.
signals=(--signal "1=constant:1234" --signal "2=constant:-567" --signal "3=constant:8901" --signal "4=constant:0"
  --signal "5=constant:2500" --signal "6=constant:12" --signal "7=constant:-3000" --signal "8=constant:7777")
"$linux/sim/gaugesim" --port COM3 --port-dir "$work/ports" "${signals[@]}" </dev/null >"$work/sim.log" 2>&1 &
pids+=($!)
if ! wait_for 20 test -L "$work/ports/COM3"; then
  fail "gaugesim made no pseudo-terminal: $(cat "$work/sim.log")"
  exit 1
fi
rm -f "$com3"
ln -s "$(readlink "$work/ports/COM3")" "$com3"

# Records for some seconds and stops as an operator would; the run's status.
record() {
  local name=$1 seconds=$2
  shift 2
  "$@" --headless --record-every 0.5 --station e2e --language en >"$work/$name.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  if ! wait_for 60 log_has "$work/$name.log" "recording a row every 0.5 s"; then
    echo "  $name did not start recording: $(cat "$work/$name.log")"
    return 1
  fi
  # The length of the recording, not an ordering: any number of rows above
  # one is compared.
  sleep "$seconds"
  stop "$pid" INT
}
windows_status=0
record windows 3 wine "$work/station/gaugemon.exe" --port COM3 --profile "$profile" \
  --export-dir "$(winepath -w "$work/windows-export")" || windows_status=$?
linux_status=0
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share QT_QPA_PLATFORM=offscreen \
  record linux 3 "$linux/src/app/gaugemon" --port "$work/ports/COM3" --export-dir "$work/linux-export" ||
  linux_status=$?

# The time of each row is masked: the two stations recorded at other moments.
masked() { sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}; [0-9]{2}:[0-9]{2}:[0-9]{2}$/TIME/' "$1"; }
compare_exports() {
  local win lin rows
  win=$(ls "$work"/windows-export/*.xls 2>/dev/null | head -1)
  lin=$(ls "$work"/linux-export/*.xls 2>/dev/null | head -1)
  if [[ -z "$win" || -z "$lin" ]]; then
    echo "  exports: windows '${win}', linux '${lin}'"
    return 1
  fi
  [[ $(basename "$win") == $(basename "$lin") ]] || {
    echo "  names differ: $(basename "$win") $(basename "$lin")"
    return 1
  }
  rows=$(($(wc -l <"$win") < $(wc -l <"$lin") ? $(wc -l <"$win") : $(wc -l <"$lin")))
  if ((rows < 3)); then
    echo "  too few rows: $(wc -l <"$win") and $(wc -l <"$lin") lines"
    return 1
  fi
  grep -q "$(wc -l <"$win" | awk '{print $1 - 1}') rows exported to" "$work/windows.log" || {
    echo "  the Windows log does not count the exported rows"
    return 1
  }
  cmp <(masked "$win" | head -n "$rows") <(masked "$lin" | head -n "$rows") || return 1
  echo "  compared: the header and $((rows - 1)) rows of $(basename "$win"), byte for byte, times masked"
}
if ((windows_status == 0 && linux_status == 0)) && compare_exports; then
  pass "headless gaugemon.exe on COM3 against gaugesim: the .xls equals the Linux station's"
else
  fail "headless on COM3 (status windows $windows_status, linux $linux_status); logs follow"
  sed 's/^/  windows: /' "$work/windows.log" | tail -20
  sed 's/^/  linux: /' "$work/linux.log" | tail -20
fi

# --- 2. the window under Xvfb, connected to the demonstration instrument -----
window_check() {
  local display=:$((90 + $$ % 100))
  mkdir -p "$work/screen"
  Xvfb "$display" -screen 0 1280x800x24 -fbdir "$work/screen" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  wait_for 20 test -S "/tmp/.X11-unix/X${display#:}" || {
    echo "  Xvfb did not start"
    return 1
  }
  DISPLAY=$display wine "$work/station/gaugemon.exe" --demo --profile "${profile}w" --language en \
    >"$work/window.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  wait_for 60 log_has "$work/window.log" "connected: " || {
    echo "  the window did not connect: $(cat "$work/window.log")"
    return 1
  }
  # Connected, the window shows readings once a poll cycle has answered; a
  # screenshot of the screen is kept when asked for.
  if [[ -n "$shots" ]]; then
    mkdir -p "$shots"
    sleep 2
    "$(dirname "$0")/xwd_to_png.py" "$work/screen/Xvfb_screen0" "$shots/windows-window.png" ||
      echo "  no screenshot taken"
  fi
  stop "$pid" INT || true
}
if window_check; then
  pass "the window under Xvfb, connected to the demonstration instrument${shots:+ (screenshot in $shots)}"
else
  fail "the window under Xvfb"
fi

# --- 3. the installer, silent, and the uninstaller ------------------------------
localappdata=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')")
programs=$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")/Microsoft/Windows/Start\ Menu/Programs
target=$localappdata/Programs/gaugemon
# What Windows itself provides; every other DLL the program loads must be in its folder.
system_dlls=(advapi32 api-ms-win-core-synch-l1-2-0 api-ms-win-core-winrt-l1-1-0 api-ms-win-core-winrt-string-l1-1-0
  authz comctl32 comdlg32 d3d11 d3d9 dwmapi dwrite dxgi gdi32 imm32 kernel32 mpr msvcrt netapi32 ole32 oleaut32 shcore shell32
  shlwapi user32 userenv uxtheme version winmm ws2_32 wtsapi32)
missing_dlls() {
  local f dll
  for f in "$target"/*.exe "$target"/*.dll "$target"/platforms/*.dll; do
    x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/.*DLL Name: //p'
  done | sort -fu | while read -r dll; do
    [[ -e "$target/$dll" || " ${system_dlls[*]} " == *" $(echo "${dll%.dll}" | tr 'A-Z' 'a-z') "* ]] || echo "$dll"
  done
}
installed() {
  [[ -f "$target/gaugemon.exe" && -f "$target/platforms/qwindows.dll" && -f "$target/uninstall.exe" &&
    -d "$target/Dat/Res" && -f "$programs/gaugemon/gaugemon.lnk" && -f "$programs/gaugemon/gaugemon demo.lnk" ]]
}
uninstalled() { [[ ! -e "$target/gaugemon.exe" && ! -e "$target/uninstall.exe" && ! -d "$programs/gaugemon" ]]; }
install_check() {
  wine "$installer" /S || return 1
  wait_for 60 installed || {
    echo "  installed: $(ls -R "$target" 2>&1 | head -20)"
    return 1
  }
  local missing
  missing=$(missing_dlls)
  [[ -z "$missing" ]] || {
    echo "  DLLs the program needs and the folder lacks: $missing"
    return 1
  }
  wine "$target/gaugemon.exe" --version >/dev/null 2>&1 || return 1
  # The uninstaller runs from a copy of itself and returns at once.
  wine "$target/uninstall.exe" /S || return 1
  wait_for 60 uninstalled || {
    echo "  left after uninstalling: $(ls -R "$target" "$programs/gaugemon" 2>&1 | head -20)"
    return 1
  }
}
if install_check; then
  pass "the installer installs silently with every DLL it needs, and uninstalls silently"
else
  fail "the installer or the uninstaller"
fi

exit $((failures > 0))
