#!/usr/bin/env bash
# Saving under a new name never writes over the file that is open: the user
# opens a.txt, types the new name b.txt into the save dialog's name box, then
# types the folder into the path box and presses Enter (the list gets the
# focus), and saves. b.txt is written in that folder; a.txt keeps its bytes.
# The folder is typed without its final "/", so the list is read again.
# Usage: save_under_new_name.sh PATH_TO_MOKRIN
source "$(dirname "$0")/lib.sh"
e2e_setup
program="$(realpath "$1")"
folder="$E2E_TMP/files"
mkdir -p "$folder"
printf 'first file\r\n' >"$folder/a.txt"
printf 'other\r\n' >"$folder/c.txt"

e2e_start_titled '^a\.txt  ~Mokrin$' "$program" "$folder/a.txt"
e2e_clip_put "new text "
e2e_keys alt+e v                    # 粘贴 [Ctrl+&V]: the text is no longer a.txt's

e2e_keys alt+f s                    # 保存到文件 (&S): the name box proposes a.txt, selected
e2e_focus_window '^保存文件$'
e2e_type "b.txt"
e2e_keys shift+Tab shift+Tab        # through the file list to the path box
e2e_type "$folder"
e2e_keys Return                     # the path box check; the focus goes to the list
e2e_keys alt+y                      # 保 存  &Y
e2e_wait_title '^b\.txt  ~Mokrin$' || e2e_fail "b.txt was not saved; title: $(xdotool getwindowname "$E2E_WID")"
cmp "$folder/a.txt" <(printf 'first file\r\n') || e2e_fail "a.txt was written: $(od -An -c "$folder/a.txt")"
cmp "$folder/b.txt" <(printf 'new text first file\r\n') || e2e_fail "b.txt holds: $(od -An -c "$folder/b.txt")"
cmp "$folder/c.txt" <(printf 'other\r\n') || e2e_fail "c.txt was written"
echo "e2e save_under_new_name: passed"
