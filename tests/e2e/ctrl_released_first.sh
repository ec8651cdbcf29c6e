#!/usr/bin/env bash
# Ctrl let go a moment before the letter, as many typists do and as
# "xdotool key ctrl+p" may send it: the key still counts as Ctrl+, once, on its
# release. Ctrl+P pastes as original, Ctrl+V pastes at the caret, Ctrl+F1 puts
# the caret at the start, and the text, copied back, shows each happened once.
# Usage: ctrl_released_first.sh PATH_TO_MOKRIN
source "$(dirname "$0")/lib.sh"

# Ctrl down, KEY down, Ctrl up, KEY up.
ctrl_released_first() {
  xdotool keydown ctrl keydown "$1" keyup ctrl keyup "$1"
}

e2e_setup
e2e_start "$1"
e2e_clip_put "one"
ctrl_released_first p
e2e_wait_title '^粘贴作原始  ~Mokrin$' || e2e_fail "Ctrl+P did not paste as original"

e2e_clip_put "two"
ctrl_released_first v               # after "one", where paste as original left the caret
ctrl_released_first F1              # the caret to the start
xdotool key ctrl+v                  # and once more as xdotool sends a chord
# Edit menu: 全选 (&A), then 复制 (&C).
e2e_keys alt+e a
e2e_keys alt+e c
e2e_wait_until 30 e2e_clip_has "twoonetwo" || e2e_fail "the text copied back is '$(e2e_clip_get)', not twoonetwo"
echo "e2e ctrl_released_first: passed"
