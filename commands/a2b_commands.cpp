#include "commands/a2b_commands.h"

#include "app/text_box.h"
#include "codec/conversion_core.h"
#include "commands/command_host.h"
#include "commands/decoding_frame.h"

namespace mok {

const std::array<A2BRow, kA2BCount> kA2BTable = {{
    {u"GB--Big5 ：英文通顺,中文不通,排列不紧密,多日文", 2052, 1028, true},
    {u"GB--日文 ：英文通顺,中文不通,多单人旁,句中丄,句尾丅", 2052, 1041, false},
    {u"GB--韩文 ：英文通顺,中文不通,多简体字,隔几字有一空格", 2052, 1042, false},
    {u"GB--俄文 ：英文通顺,中文不通,稍密,间有问号", 2052, 1049, false},
    {u"GB--Utf8 ：英文通顺,中文不通,稍密,间有 € ,或开头有 锘", 2052, -4, true},
    {u"-", 0, 0, false},
    {u"Big5--GB ：英文通顺,中文不通,句中有ㄛ﹜ㄩ,句尾有﹝", 1028, 2052, true},
    {u"Big5--韩文 ：英文通顺,中文不通,多繁体字,隔几字有一空格", 1028, 1042, false},
    {u"日文--GB ：英文通顺,中文不通,繁体,多半角日文片假名", 1041, 2052, false},
    {u"韩文--GB ：英文通顺,中文不通,繁体,多繁复韩文", 1042, 2052, false},
    {u"俄文--GB ：英文通顺,无中文,多附点变形俄文字母", 1049, 2052, false},
    {u"-", 0, 0, false},
    {u"Eng--GB ：英文通顺,无中文,多附点变形拉丁字母,多数大写", 1033, 2052, true},
    {u"Eng--Utf8 ：同上类似,字母多数小写,有方框", 1033, -4, false},
    {u"Latin1--GB ：类似 Eng--GB,字母多数大写,有方框", -1, 2052, false},
    {u"Latin1--Utf8 ：类似 Eng--Utf8,字母多数小写,方框更多", -1, -4, false},
    {u"UBE--ULE ：全文不通,多方框和中文,兼有空格和韩文", -3, -2, false},
}};

void RunA2B(CommandHost& host, int index) {
  if (index < 0 || index >= kA2BCount) return;
  const A2BRow& row = kA2BTable[static_cast<std::size_t>(index)];
  if (row.caption == u"-") return;  // separators cannot be chosen
  Text copy = host.Box().GetText();
  ReinterpretByLid(copy, row.code_a, row.code_b);
  FinishDecoding(host, std::move(copy), CommandName(row.caption), WriteBack::WholeText, /*check_length=*/true);
}

}  // namespace mok
