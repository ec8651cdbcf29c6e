#!/usr/bin/env bash
# "新窗口" from the keyboard starts a second, independent window, also when the
# program's file name holds dots (a copy named mokrin-4.3 starts mokrin-4.3).
# Usage: new_window.sh PATH_TO_MOKRIN
source "$(dirname "$0")/lib.sh"
e2e_setup
cp "$1" "$E2E_TMP/mokrin-4.3"
e2e_start "$E2E_TMP/mokrin-4.3"
e2e_keys alt+f w  # file menu, 新窗口 (&W)
count_windows() { [ "$(xdotool search --onlyvisible --name '^Mokrin$' | wc -l)" -ge "$1" ]; }
e2e_wait_until 30 count_windows 2 || e2e_fail "the new window did not appear"
echo "e2e new_window: passed"
