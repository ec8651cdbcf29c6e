#pragma once

// Two seven-bit transfer forms of mail text: the Base64 runs of UTF-7, and HZ
// (GB2312 between the shifts "~{" and "~}").

#include "codec/text_types.h"

namespace mok {

// Decodes every "+" run of UTF-7 in the text and leaves everything else alone:
// "+-" is "+", a "+" followed by one or two Base64 characters stays as it is,
// three or more are decoded as UTF-16BE and a "-" ending them is absorbed.
// NULs become spaces; any failure leaves the empty text.
void DecodeUtf7(Text& text);

// Decodes HZ: drops the line continuations "~" CR LF, "~ " CR LF and "~" TAB CR LF
// (in that order), turns "~~" into "~" and the pairs inside "~{" ... "~}" into
// GB2312 characters. A control character, a space or a non-ASCII character
// closes a GB section. NULs become spaces; any failure leaves the empty text.
void DecodeHzGb(Text& text);

// Writes text as HZ: runs of GB2312 characters go between "~{" and "~}" as
// seven-bit pairs, "~" becomes "~~", everything else passes through unchanged.
// No line continuations are inserted. Any failure leaves the empty text.
void EncodeHzGb(Text& text);

}  // namespace mok
