#include "codec/charset_tables.h"

#include <charconv>
#include <string>
#include <vector>

namespace mok {

const std::u16string_view kLanguageCodeList =
    u"GB,2052,Big5,1028,日文,1041,韩文,1042,泰文,1054,越南文,1066,Eng,1033,希腊文,1032,俄文,1049,阿拉伯文,1025,"
    u"希伯莱文,1037,Latin1,-1,ULE,-2,UBE,-3,Utf8,-4";

const std::u16string_view kCodePageList =
    u"中文简(GBK),936,中文简(GB18030),54936,中文简(HZ-GB),52936,中文简(ISO-2022),50227,中文繁(Big5),950,"
    u"中文繁(CNS),20000,中文繁(ISO-2022),50229,日文(Shift-JIS),932,日文(EUC-JIS),20932,日文(ISO-2022),50221,"
    u"韩文(KSC),949,韩文(Johab),1361,韩文(ISO-2022),50225,泰文(Windows),874,越南文(Windows),1258,"
    u"西欧(Windows),1252,西欧(ISO),28591,西欧(Mac),10000,西欧(DOS),850,OEM-美国,437,IBM-EBCDIC-美国,37,"
    u"IBM-EBCDIC-国际,500,中欧(Windows),1250,中欧(ISO),28592,中欧(Mac),10029,中欧(DOS),852,"
    u"希腊文(Windows),1253,希腊文(ISO),28597,希腊文(Mac),10006,希腊文(DOS),737,现代希腊文(DOS),869,"
    u"西里尔(Windows),1251,西里尔(ISO),28595,西里尔(Mac),10007,西里尔(DOS),866,西里尔(KOI8-R),20866,"
    u"西里尔(KOI8-U),21866,OEM-西里尔,855,Unicode(UTF-16LE),1200,Unicode(UTF-7),65000,Unicode(UTF-8),65001";

namespace {

// Splits "name,code,name,code" into pairs; the views point into the constant list.
std::vector<NamedCode> ParsePairs(std::u16string_view list) {
  std::vector<std::u16string_view> items;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = list.find(u',', start);
    const std::size_t end = comma == std::u16string_view::npos ? list.size() : comma;
    items.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  std::vector<NamedCode> pairs;
  for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
    std::string digits(items[i + 1].begin(), items[i + 1].end());
    std::int32_t code = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), code);
    pairs.push_back({items[i], code});
  }
  return pairs;
}

}  // namespace

std::span<const NamedCode> LanguageCodes() {
  static const std::vector<NamedCode> pairs = ParsePairs(kLanguageCodeList);
  return pairs;
}

std::span<const NamedCode> CodePages() {
  static const std::vector<NamedCode> pairs = ParsePairs(kCodePageList);
  return pairs;
}

}  // namespace mok
