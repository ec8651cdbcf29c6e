#include "menus/menu_tables.h"

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

const std::array<std::u16string_view, 3> kNumUCaptions = {
    u"HTM(U) ：如 &&#x53EF;&&#25511;&&ordm;&&Atilde;英文通顺",
    u"Num(UBE) ：如 \\u53EF\\u63A7\\x28\\x29 英文通顺",
    u"URL(UBE) ：如 %u53EF%u63A7%28%29 英文通顺",
};

const std::array<QpUrlRow, 7> kReadQpTable = {{
    {u"URL-GBK ：如 work%2Easp%3Fs%3D%B5%E7%C4%D4 英文通顺", 2052, 1},
    {u"URL-Big5 ：同上类似", 1028, 1},
    {u"URL-Utf8 ：同上类似", -4, 1},
    {u"-", 0, 0},
    {u"QP-GBK ：如 =D6=A7=B3=D6ASCII=C2=EB 英文通顺", 2052, 0},
    {u"QP-Big5 ：同上类似", 1028, 0},
    {u"QP-Utf8 ：同上类似", -4, 0},
}};

const std::array<Base64Row, 3> kBase64Table = {{
    {u"Base64-GBK ：如 QVNDSUkgvs3Kx6G 紧密排列.允许选取解码", 2052},
    {u"Base64-Big5 ：同上类似", 1028},
    {u"Base64-Utf8 ：同上类似", -4},
}};

const std::array<std::u16string_view, 2> kJieACaptions = {
    u"Utf7 ：如 +UxdOrA- YES +Ti1XC2- 英文通顺",
    u"HZ-GB ：如 ~{V;V'3V~}ASCII~{Bk5DO5M3~} 英文通顺",
};

const std::array<HalfCharRow, 4> kCabTable = {{
    {u"GB+半字 ：英文通顺,部分中文通顺.建议光标放在乱码开头", 2052, false},
    {u"ULE+半字 ：前半通顺,后半不通,多方框和中文,有空格和韩文", -2, false},
    {u"UBE+半字 ：同上类似", -3, false},
    {u"CP+半字 ：代码页+半字 [F7] …", 0, true},
}};

const std::array<std::u16string_view, 3> k2022Captions = {
    u"Esc+中文(ISO-2022) ：同下类似,标志 $)A $)G",
    u"Esc+日文(ISO-2022) ：如 $B$R$H$?$S 英文通顺,标志 $B (B",
    u"Esc+韩文(ISO-2022) ：同上类似,标志 $)C",
};

const std::array<std::u16string_view, 5> kAskA2BCaptions = {
    u"Trans-LCID ：传送格式-语文区号 [F8] …",
    u"Trans-CP ：传送格式-代码页 [Ctrl+F8] …",
    u"-",
    u"LCID--LCID ：语文区号--语文区号 [F9] …",
    u"CP--CP ：代码页--代码页 [Ctrl+F9] …",
};

const std::array<MakeRow, 21> kMakeTable = {{
    {u"HTM(U)", MakeCodec::NumericRefs, 0},
    {u"Num(UBE)", MakeCodec::NumericRefs, 1},
    {u"-", MakeCodec::Separator, 0},
    {u"QP-GBK", MakeCodec::QuotedPrintable, 0},
    {u"QP-GB18030", MakeCodec::QuotedPrintable, 1},
    {u"QP-Big5", MakeCodec::QuotedPrintable, 2},
    {u"QP-CNS", MakeCodec::QuotedPrintable, 3},
    {u"QP-ShiftJis", MakeCodec::QuotedPrintable, 4},
    {u"QP-EucJis", MakeCodec::QuotedPrintable, 5},
    {u"QP-KSC", MakeCodec::QuotedPrintable, 6},
    {u"QP-Johab", MakeCodec::QuotedPrintable, 7},
    {u"QP-Win1252", MakeCodec::QuotedPrintable, 8},
    {u"QP-Utf8", MakeCodec::QuotedPrintable, 9},
    {u"-", MakeCodec::Separator, 0},
    {u"Base64-GBK", MakeCodec::Base64, 0},
    {u"Base64-GB18030", MakeCodec::Base64, 1},
    {u"Base64-Big5", MakeCodec::Base64, 2},
    {u"Base64-Utf8", MakeCodec::Base64, 3},
    {u"-", MakeCodec::Separator, 0},
    {u"Utf7", MakeCodec::Utf7, 0},
    {u"HZ-GB", MakeCodec::HzGb, 0},
}};

}  // namespace mok
