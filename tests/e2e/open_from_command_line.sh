#!/usr/bin/env bash
# mokrin FILE, as "Open with" starts it: a GBK file named relative to the
# folder the program starts in opens as the original; the window's caption is
# the file's name, and select all and copy give its decoded text. A second
# name is not opened, and standard error says so.
# Usage: open_from_command_line.sh PATH_TO_MOKRIN
source "$(dirname "$0")/lib.sh"
e2e_setup
program="$(realpath "$1")"
mkdir -p "$E2E_TMP/files/信件"
# 中文乱码, a line break, 第二行 in GBK.
printf '\xD6\xD0\xCE\xC4\xC2\xD2\xC2\xEB\r\n\xB5\xDA\xB6\xFE\xD0\xD0' >"$E2E_TMP/files/信件/旧信.txt"
expected=$'中文乱码\r\n第二行'

cd "$E2E_TMP/files"
e2e_start_titled '^旧信\.txt  ~Mokrin$' "$program" 信件/旧信.txt 另一个.txt
# Edit menu: 全选 (&A), then 复制 (&C).
e2e_keys alt+e a
e2e_keys alt+e c
e2e_wait_until 30 e2e_clip_has "$expected" || e2e_fail "the clipboard holds '$(e2e_clip_get)', not the file's text"
grep -qF 'mokrin: 只打开第一个文件，“另一个.txt” 未打开' "$E2E_TMP/program.log" ||
  e2e_fail "no word about the second name; log: $(cat "$E2E_TMP/program.log")"
echo "e2e open_from_command_line: passed"
