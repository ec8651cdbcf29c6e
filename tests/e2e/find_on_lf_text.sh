#!/usr/bin/env bash
# Find on text pasted from a Linux program: its line breaks are lone LFs, while a
# find string typed with Enter holds CR LF. F3 with "a", Enter, "A" must still
# find the two lines; the match, copied from the edit menu, is the text's own
# "a", LF, "A".
# Usage: find_on_lf_text.sh PATH_TO_MOKRIN
source "$(dirname "$0")/lib.sh"

find_dialog_closed() {
  ! e2e_visible_window '^查找字串（限300字）$'
}

e2e_setup
e2e_start "$1"
e2e_clip_put $'xa\nAy'
e2e_chord ctrl p
e2e_wait_title '^粘贴作原始  ~Mokrin$' || e2e_fail "paste as original did not happen"

e2e_keys F3
e2e_focus_window '^查找字串（限300字）$'
e2e_type "a"
e2e_keys Return                     # a line break in the find string: CR LF
e2e_type "A"
e2e_keys alt+y                      # 确定 &Y
e2e_wait_until 30 find_dialog_closed || e2e_fail "the find dialog did not close"
e2e_focus_window '^粘贴作原始  ~Mokrin$'

# Edit menu: 复制 (&C) copies the selection, which is the match.
e2e_keys alt+e c
e2e_wait_until 30 e2e_clip_has $'a\nA' || e2e_fail "the clipboard holds '$(e2e_clip_get)', not the match"
echo "e2e find_on_lf_text: passed"
