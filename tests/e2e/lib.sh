# Helpers for end-to-end tests: the built program in a real X server (Xvfb),
# driven by keys through XTEST (xdotool) as a user would, reading back what a
# user could see (window titles, the clipboard through xclip, files).
# Tests source this file; every wait polls a condition with a time limit.
#
#   e2e_setup                 private X server and home folder; cleans up on exit
#   e2e_start PROGRAM [ARGS]  starts the program, waits for its window (E2E_WID)
#   e2e_start_titled TITLE_REGEX PROGRAM [ARGS]   the same, for a window that starts
#                             with another caption (a file named on the command line)
#   e2e_keys KEY...           xdotool key names: ctrl+p, alt+e, F7, Return, ...
#   e2e_chord MODIFIER KEY    holds MODIFIER while KEY goes down and up (ctrl p): the
#                             program sees the modifier on the key's release, as a user's
#                             keyboard gives it (xdotool's "key ctrl+p" may release ctrl first)
#   e2e_type TEXT             types text into the focused widget
#   e2e_wait_until SECONDS COMMAND...   polls until COMMAND succeeds
#   e2e_wait_window TITLE_REGEX         waits for a visible window, prints its id
#   e2e_focus_window TITLE_REGEX        waits for a visible window and gives it the keyboard
#   e2e_wait_title TITLE_REGEX          waits until the program's window has this title
#   e2e_clip_put TEXT         offers TEXT (UTF-8) on the CLIPBOARD selection, as another program would
#   e2e_clip_get              prints the CLIPBOARD selection's text
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
  # Xvfb writes the display number to the pipe when it is ready, and exits when
  # the number is taken. Test runs in other containers of one machine share the
  # abstract X sockets but not /tmp's lock files, so Xvfb's own choice of a free
  # number can collide; each try starts at a number of this run's own.
  local fifo="$E2E_TMP/display" display="" try number
  mkfifo "$fifo"
  for try in $(seq 0 19); do
    number=$(( 100 + ($$ * 7 + try * 31) % 800 ))
    Xvfb ":$number" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$E2E_TMP/xvfb.log" 2>&1 &
    local xvfb=$!
    if read -r -t 20 display <"$fifo"; then
      E2E_PIDS+=("$xvfb")
      break
    fi
    display=""
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
  done
  [ -n "$display" ] || e2e_fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
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

e2e_visible_window() {
  local ids
  ids="$(xdotool search --onlyvisible --name "$1" 2>/dev/null || true)"
  [ -n "$ids" ] && echo "${ids%%$'\n'*}"
}

e2e_wait_window() {
  e2e_wait_until 30 e2e_visible_window "$1" && e2e_visible_window "$1"
}

e2e_focus_window() {
  E2E_FOCUSED="$(e2e_wait_window "$1")" || e2e_fail "no window titled $1 appeared; log: $(cat "$E2E_TMP/program.log")"
  xdotool windowfocus --sync "$E2E_FOCUSED"
}

e2e_start() {
  e2e_start_titled '^Mokrin$' "$@"
}

e2e_start_titled() {
  local title="$1"
  shift
  "$@" >"$E2E_TMP/program.log" 2>&1 &
  E2E_PIDS+=($!)
  e2e_focus_window "$title"
  E2E_WID="$E2E_FOCUSED"
}

e2e_keys() {
  local key
  for key in "$@"; do xdotool key --clearmodifiers "$key"; done
}

e2e_chord() {
  xdotool keydown --clearmodifiers "$1" key "$2" keyup "$1"
}

e2e_type() {
  xdotool type --clearmodifiers --delay 20 "$1"
}

e2e_title_is() {
  xdotool getwindowname "$E2E_WID" 2>/dev/null | grep -qE "$1"
}

e2e_wait_title() {
  e2e_wait_until 30 e2e_title_is "$1"
}

e2e_clip_put() {
  # xclip serves the selection until another program takes it over; it runs in
  # the foreground here so that the cleanup can end it.
  printf '%s' "$1" | xclip -i -quiet -selection clipboard -target UTF8_STRING >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  e2e_wait_until 10 e2e_clip_has "$1" || e2e_fail "xclip did not take the clipboard"
}

e2e_clip_get() {
  xclip -o -selection clipboard -target UTF8_STRING 2>/dev/null
}

e2e_clip_has() {
  [ "$(e2e_clip_get)" = "$1" ]
}
