# Helpers for end-to-end tests: the built program in a real X server (Xvfb),
# driven by keys through XTEST (xdotool) as a user would, reading back what a
# user could see (window titles, the clipboard through xclip, files).
# Tests source this file; every wait polls a condition with a time limit.
#
#   e2e_setup                 private X server and home folder; cleans up on exit
#   e2e_start PROGRAM [ARGS]  starts the program, waits for its window (E2E_WID)
#   e2e_keys KEY...           xdotool key names: ctrl+p, alt+e, F7, Return, ...
#   e2e_type TEXT             types text into the focused widget
#   e2e_wait_until SECONDS COMMAND...   polls until COMMAND succeeds
#   e2e_wait_window TITLE_REGEX         waits for a visible window, prints its id
#   e2e_focus_window TITLE_REGEX        waits for a visible window and gives it the keyboard
#   e2e_fail MESSAGE          reports and exits 1

set -euo pipefail

E2E_PIDS=()
E2E_TMP=""

e2e_fail() {
  echo "e2e: FAILED: $*" >&2
  exit 1
}

e2e_cleanup() {
  local pid wid
  # Programs started from the program itself (a new window) are found by their windows.
  if [ -n "${DISPLAY:-}" ]; then
    for wid in $(xdotool search --name 'Mokrin' 2>/dev/null || true); do
      pid="$(xdotool getwindowpid "$wid" 2>/dev/null || true)"
      [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
  fi
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${E2E_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -n "$E2E_TMP" ] && rm -rf "$E2E_TMP"
}

e2e_wait_until() {
  local seconds="$1"
  shift
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

e2e_setup() {
  for tool in Xvfb xdotool xclip; do
    command -v "$tool" >/dev/null || e2e_fail "$tool is not installed (scripts/packages.txt)"
  done
  E2E_TMP="$(mktemp -d)"
  trap e2e_cleanup EXIT
  # Xvfb picks a free display number and writes it to the pipe when ready.
  local fifo="$E2E_TMP/display"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  local display
  read -r -t 20 display <"$fifo" || e2e_fail "Xvfb did not start"
  export DISPLAY=":$display"
  # A fresh user: settings, trash and documents of this test only.
  export HOME="$E2E_TMP/home"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
  export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  export QT_QPA_PLATFORM=xcb
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
}

e2e_wait_window() {
  local title="$1" wid=""
  local deadline=$((SECONDS + 30))
  while [ -z "$wid" ]; do
    wid="$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n 1 || true)"
    [ -n "$wid" ] && break
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
  echo "$wid"
}

e2e_focus_window() {
  local wid
  wid="$(e2e_wait_window "$1")" || e2e_fail "no window titled $1 appeared; log: $(cat "$E2E_TMP/program.log")"
  xdotool windowfocus --sync "$wid"
}

e2e_start() {
  "$@" >"$E2E_TMP/program.log" 2>&1 &
  E2E_PIDS+=($!)
  E2E_WID="$(e2e_wait_window '^Mokrin$')" || e2e_fail "no window appeared; log: $(cat "$E2E_TMP/program.log")"
  xdotool windowfocus --sync "$E2E_WID"
}

e2e_keys() {
  local key
  for key in "$@"; do xdotool key --clearmodifiers "$key"; done
}

e2e_type() {
  xdotool type --clearmodifiers --delay 20 "$1"
}
