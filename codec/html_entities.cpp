#include "codec/html_entities.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace mok {

const std::string_view kHtmlEntityList =
    "quot,34,amp,38,lt,60,gt,62,nbsp,160,iexcl,161,cent,162,pound,163,curren,164,yen,165,brvbar,166,"
    "sect,167,uml,168,copy,169,ordf,170,laquo,171,not,172,shy,173,reg,174,macr,175,deg,176,"
    "plusmn,177,sup2,178,sup3,179,acute,180,micro,181,para,182,middot,183,cedil,184,sup1,185,"
    "ordm,186,raquo,187,frac14,188,frac12,189,frac34,190,iquest,191,Agrave,192,Aacute,193,Acirc,194,"
    "Atilde,195,Auml,196,Aring,197,AElig,198,Ccedil,199,Egrave,200,Eacute,201,Ecirc,202,Euml,203,"
    "Igrave,204,Iacute,205,Icirc,206,Iuml,207,ETH,208,Ntilde,209,Ograve,210,Oacute,211,Ocirc,212,"
    "Otilde,213,Ouml,214,times,215,Oslash,216,Ugrave,217,Uacute,218,Ucirc,219,Uuml,220,Yacute,221,"
    "THORN,222,szlig,223,agrave,224,aacute,225,acirc,226,atilde,227,auml,228,aring,229,aelig,230,"
    "ccedil,231,egrave,232,eacute,233,ecirc,234,euml,235,igrave,236,iacute,237,icirc,238,iuml,239,"
    "eth,240,ntilde,241,ograve,242,oacute,243,ocirc,244,otilde,245,ouml,246,divide,247,oslash,248,"
    "ugrave,249,uacute,250,ucirc,251,uuml,252,yacute,253,thorn,254,yuml,255,OElig,338,oelig,339,"
    "Scaron,352,scaron,353,Yuml,376,fnof,402,circ,710,tilde,732,Alpha,913,Beta,914,Gamma,915,"
    "Delta,916,Epsilon,917,Zeta,918,Eta,919,Theta,920,Iota,921,Kappa,922,Lambda,923,Mu,924,Nu,925,"
    "Xi,926,Omicron,927,Pi,928,Rho,929,Sigma,931,Tau,932,Upsilon,933,Phi,934,Chi,935,Psi,936,"
    "Omega,937,alpha,945,beta,946,gamma,947,delta,948,epsilon,949,zeta,950,eta,951,theta,952,"
    "iota,953,kappa,954,lambda,955,mu,956,nu,957,xi,958,omicron,959,pi,960,rho,961,sigmaf,962,"
    "sigma,963,tau,964,upsilon,965,phi,966,chi,967,psi,968,omega,969,thetasym,977,upsih,978,piv,982,"
    "ensp,8194,emsp,8195,thinsp,8201,zwnj,8204,zwj,8205,lrm,8206,rlm,8207,ndash,8211,mdash,8212,"
    "lsquo,8216,rsquo,8217,sbquo,8218,ldquo,8220,rdquo,8221,bdquo,8222,dagger,8224,Dagger,8225,"
    "bull,8226,hellip,8230,permil,8240,prime,8242,Prime,8243,lsaquo,8249,rsaquo,8250,oline,8254,"
    "frasl,8260,euro,8364,image,8465,weierp,8472,real,8476,trade,8482,alefsym,8501,larr,8592,"
    "uarr,8593,rarr,8594,darr,8595,harr,8596,crarr,8629,lArr,8656,uArr,8657,rArr,8658,dArr,8659,"
    "hArr,8660,forall,8704,part,8706,exist,8707,empty,8709,nabla,8711,isin,8712,notin,8713,ni,8715,"
    "prod,8719,sum,8721,minus,8722,lowast,8727,radic,8730,prop,8733,infin,8734,ang,8736,and,8743,"
    "or,8744,cap,8745,cup,8746,int,8747,there4,8756,sim,8764,cong,8773,asymp,8776,ne,8800,equiv,8801,"
    "le,8804,ge,8805,sub,8834,sup,8835,nsub,8836,sube,8838,supe,8839,oplus,8853,otimes,8855,"
    "perp,8869,sdot,8901,lceil,8968,rceil,8969,lfloor,8970,rfloor,8971,lang,9001,rang,9002,loz,9674,"
    "spades,9824,clubs,9827,hearts,9829,diams,9830";

const std::string_view kLineBreakTagList = "<hr>,<br>,<p>,</p>,<div>,</div>";

namespace {

constexpr std::size_t kEntityCount = 252;
constexpr std::size_t kLongestName = 8;  // "thetasym"

struct Entity {
  std::string_view name;
  char16_t code = 0;
  std::uint16_t order = 0;  // position in kHtmlEntityList
};

// The entity list parsed and sorted by name for lookup; each entry keeps its
// list position, which decides what a produced ampersand may still complete.
struct EntityIndex {
  std::array<Entity, kEntityCount> by_name{};
  std::size_t size = 0;

  EntityIndex() {
    std::size_t pos = 0;
    while (pos < kHtmlEntityList.size() && size < kEntityCount) {
      const std::size_t comma = kHtmlEntityList.find(',', pos);
      const std::size_t end = kHtmlEntityList.find(',', comma + 1);
      const std::string_view name = kHtmlEntityList.substr(pos, comma - pos);
      const std::string_view number =
          kHtmlEntityList.substr(comma + 1, end == std::string_view::npos ? end : end - comma - 1);
      unsigned code = 0;
      for (const char digit : number) code = code * 10 + static_cast<unsigned>(digit - '0');
      by_name[size] = Entity{name, static_cast<char16_t>(code), static_cast<std::uint16_t>(size)};
      ++size;
      if (end == std::string_view::npos) break;
      pos = end + 1;
    }
    std::sort(by_name.begin(), by_name.begin() + size,
              [](const Entity& a, const Entity& b) { return a.name < b.name; });
  }
};

const EntityIndex& Entities() {
  static const EntityIndex index;
  return index;
}

bool IsNameChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// Three-way comparison of an ASCII name with code units (all name characters).
int CompareName(std::string_view name, TextView units) {
  const std::size_t common = std::min(name.size(), units.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t a = static_cast<unsigned char>(name[i]);
    if (a != units[i]) return a < units[i] ? -1 : 1;
  }
  if (name.size() == units.size()) return 0;
  return name.size() < units.size() ? -1 : 1;
}

// The entity whose name followed by ";" starts at text[start], or nullptr.
// Sets name_length to the length of that name.
const Entity* FindEntityName(TextView text, std::size_t start, std::size_t& name_length) {
  std::size_t end = start;
  while (end < text.size() && end - start < kLongestName && IsNameChar(text[end])) ++end;
  if (end == start || end >= text.size() || text[end] != u';') return nullptr;
  const TextView name = text.substr(start, end - start);
  const EntityIndex& index = Entities();
  std::size_t low = 0;
  std::size_t high = index.size;
  while (low < high) {
    const std::size_t mid = (low + high) / 2;
    const int order = CompareName(index.by_name[mid].name, name);
    if (order == 0) {
      name_length = name.size();
      return &index.by_name[mid];
    }
    if (order < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return nullptr;
}

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Length of the line-breaking tag at text[pos] (which is "<"), or 0. Tags
// contain no "<" or ">" inside, so two occurrences never overlap and the tags
// can be tried in any order.
std::size_t MatchLineBreakTag(TextView text, std::size_t pos) {
  std::size_t start = 0;
  while (start < kLineBreakTagList.size()) {
    std::size_t end = kLineBreakTagList.find(',', start);
    if (end == std::string_view::npos) end = kLineBreakTagList.size();
    const std::string_view tag = kLineBreakTagList.substr(start, end - start);
    start = end + 1;
    if (tag.empty() || text.size() - pos < tag.size()) continue;
    std::size_t i = 0;
    while (i < tag.size() && AsciiLower(text[pos + i]) == static_cast<unsigned char>(tag[i])) ++i;
    if (i == tag.size()) return tag.size();
  }
  return 0;
}

}  // namespace

NamedMarkup MatchNamedMarkup(TextView text, std::size_t pos) {
  NamedMarkup match;
  if (pos >= text.size()) return match;
  if (text[pos] == u'<') {
    match.length = MatchLineBreakTag(text, pos);
    if (match.length != 0) {
      match.count = 2;
      match.units[0] = u'\r';
      match.units[1] = u'\n';
    }
    return match;
  }
  if (text[pos] != u'&') return match;
  std::size_t name_length = 0;
  const Entity* entity = FindEntityName(text, pos + 1, name_length);
  if (entity == nullptr) return match;
  match.length = 1 + name_length + 1;
  // Replaced one name after the other over the whole text, an entity that
  // yields "&" leaves an ampersand that a name later in the list can still
  // complete with the characters that follow it; an earlier name cannot.
  while (entity->code == u'&') {
    const Entity* next = FindEntityName(text, pos + match.length, name_length);
    if (next == nullptr || next->order <= entity->order) break;
    entity = next;
    match.length += name_length + 1;
  }
  match.count = 1;
  match.units[0] = entity->code;
  return match;
}

void DecodeNamedEntities(Text& text) {
  const std::size_t n = text.size();
  char16_t* const data = text.data();
  const TextView view(data, n);
  // Every replacement is shorter than what it replaces, so the result is
  // written over the text behind the read position.
  std::size_t read = 0;
  std::size_t write = 0;
  while (read < n) {
    const char16_t c = data[read];
    if (c == u'&' || c == u'<') {
      const NamedMarkup match = MatchNamedMarkup(view, read);
      if (match.length != 0) {
        for (std::size_t k = 0; k < match.count; ++k) data[write++] = match.units[k];
        read += match.length;
        continue;
      }
    }
    data[write++] = c;
    ++read;
  }
  text.resize(write);
}

}  // namespace mok
