#!/usr/bin/env bash
# The clipboard road of a garbled text: another program offers GBK text that
# was shown as Big5, Ctrl+P pastes it as the original, "Big5--GB" from the second
# decoding menu repairs it, and select all and copy from the edit menu give the
# clean text (with its lone LF line break) back to the other programs.
# Usage: clipboard_repair.sh PATH_TO_MOKRIN
source "$(dirname "$0")/lib.sh"

# The GBK bytes of the clean text, decoded as Big5.
garbled=$'涴岆珨僇掩渣昫賤黍腔笢恅恅趼\n菴媼俴ㄩ扷梓睿瑩攫'
clean=$'这是一段被错误解读的中文文字\n第二行：鼠标和键盘'

e2e_setup
e2e_start "$1"
e2e_clip_put "$garbled"
e2e_chord ctrl p
e2e_wait_title '^粘贴作原始  ~Mokrin$' || e2e_fail "paste as original did not happen"

# Second decoding menu: item 6 is Big5--GB (the separator after item 4 is skipped).
e2e_keys alt+2 Home Down Down Down Down Down Return
# Edit menu: 全选 (&A), then 复制 (&C).
e2e_keys alt+e a
e2e_keys alt+e c
e2e_wait_until 30 e2e_clip_has "$clean" || e2e_fail "the clipboard holds '$(e2e_clip_get)', not the repaired text"
echo "e2e clipboard_repair: passed"
