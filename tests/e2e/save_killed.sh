#!/usr/bin/env bash
# A save killed at each of its steps never loses the file. The test build kills
# the program at the step MOK_TEST_KILL_SAVE_AT names, while it saves an edited
# text over the file it opened. Killed before the rename, the file's name still
# holds the old bytes and opening it again gives the old text; killed right
# after the rename, it holds the whole new text.
# Usage: save_killed.sh PATH_TO_MOKRIN
source "$(dirname "$0")/lib.sh"
e2e_setup
program="$(realpath "$1")"
folder="$E2E_TMP/files"
mkdir -p "$folder"
old_bytes=$'\xBE\xC9\xCE\xC4\xB1\xBE'                 # 旧文本 in GBK
new_bytes=$'\xD0\xC2\xBE\xC9\xCE\xC4\xB1\xBE'         # 新旧文本 in GBK

e2e_exited() {
  [ ! -e "/proc/$1" ] || grep -q '^State:[[:space:]]*Z' "/proc/$1/status"
}

# Opens the file in a new window and checks, through select all and copy,
# that it shows this text; then closes that window.
e2e_shows() {
  e2e_start_titled '^note\.txt  ~Mokrin$' "$program" "$folder/note.txt"
  local pid="${E2E_PIDS[-1]}"
  e2e_keys alt+e a                  # 全选
  e2e_keys alt+e c                  # 复制
  e2e_wait_until 30 e2e_clip_has "$1" || e2e_fail "$step: opened again, the file shows '$(e2e_clip_get)', not '$1'"
  kill "$pid"
  wait "$pid" || true
}

for step in temporary-created half-written written flushed renamed; do
  printf '%s' "$old_bytes" >"$folder/note.txt"
  e2e_clip_put "新"
  e2e_start_titled '^note\.txt  ~Mokrin$' env MOK_TEST_KILL_SAVE_AT="$step" "$program" "$folder/note.txt"
  pid="${E2E_PIDS[-1]}"
  e2e_keys alt+e v                  # 粘贴 at the start: 新旧文本
  e2e_keys alt+f s                  # 保存到文件, over note.txt as proposed
  e2e_focus_window '^保存文件$'
  e2e_keys alt+y
  e2e_wait_until 30 e2e_exited "$pid" || e2e_fail "$step: the program was not stopped during the save"
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 137 ] || e2e_fail "$step: the program ended with $status, not killed at the step"

  leftovers=("$folder"/.mokrin-save-*)
  if [ "$step" = renamed ]; then
    cmp "$folder/note.txt" <(printf '%s' "$new_bytes") || e2e_fail "$step: note.txt is not the whole new text"
    [ ! -e "${leftovers[0]}" ] || e2e_fail "$step: a temporary file is left after the rename"
    e2e_shows '新旧文本'
  else
    cmp "$folder/note.txt" <(printf '%s' "$old_bytes") ||
      e2e_fail "$step: note.txt lost its old content: $(od -An -tx1 "$folder/note.txt")"
    [ -e "${leftovers[0]}" ] || e2e_fail "$step: killed before the rename, yet no temporary file"
    rm -f "${leftovers[@]}"
    e2e_shows '旧文本'
  fi
done
echo "e2e save_killed: passed"
