#!/usr/bin/env bash
# A garbled file through the program's own file browser, by keys only: open a
# GBK file (Big5 text read as GBK) by typing its folder into the path box and
# choosing it in the list, repair it with "GB--Big5", save it as UTF-8 without
# BOM under a new name, and compare the bytes written.
# Usage: open_decode_save.sh PATH_TO_MOKRIN
source "$(dirname "$0")/lib.sh"
e2e_setup
folder="$E2E_TMP/files"
mkdir -p "$folder"
# 中文測試，中文檔案 in Big5, which the program reads as GBK.
printf '\xA4\xA4\xA4\xE5\xB4\xFA\xB8\xD5\xA1\x41\xA4\xA4\xA4\xE5\xC0\xC9\xAE\xD7' >"$folder/garbled.txt"
printf '\xE4\xB8\xAD\xE6\x96\x87\xE6\xB8\xAC\xE8\xA9\xA6\xEF\xBC\x8C\xE4\xB8\xAD\xE6\x96\x87\xE6\xAA\x94\xE6\xA1\x88' \
  >"$E2E_TMP/expected.txt"

e2e_start "$1"
e2e_keys alt+f o                    # 打开作原始 (&O)
e2e_focus_window '^打开文件$'
e2e_keys shift+Tab                  # from the file list back to the path box
e2e_type "$folder/"
e2e_keys Return                     # the path box check moves the list there
e2e_keys Down Return Return         # the only file; Enter goes to OK, Enter presses it
e2e_wait_window '^garbled\.txt  ~Mokrin$' >/dev/null || e2e_fail "the file was not opened"
e2e_focus_window '^garbled\.txt  ~Mokrin$'

e2e_keys alt+2 Return               # 解读乱码 (&2), its first item GB--Big5

e2e_keys alt+f s                    # 保存到文件 (&S)
e2e_focus_window '^保存文件$'
e2e_type "fixed.txt"                # replaces the proposed name, which is selected
# Tab from the name box to the format list: 改名, the four folder buttons, the
# filter, 删除文件, then the list.
e2e_keys Tab Tab Tab Tab Tab Tab Tab Tab
e2e_keys End                        # UTF-8, which checks BOM
e2e_keys Tab space                  # uncheck BOM
e2e_keys alt+y                      # 保 存  &Y
e2e_wait_window '^fixed\.txt  ~Mokrin$' >/dev/null || e2e_fail "the file was not saved"
cmp "$folder/fixed.txt" "$E2E_TMP/expected.txt" || e2e_fail "saved bytes differ: $(od -An -tx1 "$folder/fixed.txt")"
cmp "$folder/garbled.txt" <(printf '\xA4\xA4\xA4\xE5\xB4\xFA\xB8\xD5\xA1\x41\xA4\xA4\xA4\xE5\xC0\xC9\xAE\xD7') ||
  e2e_fail "the opened file was changed"
echo "e2e open_decode_save: passed"
