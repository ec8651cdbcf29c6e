#include "codec/text_functions.h"

namespace mok {

Text TextBefore(TextView text, TextView separator) {
  if (separator.empty()) return {};
  const std::size_t found = text.find(separator);
  return Text(found == TextView::npos ? text : text.substr(0, found));
}

}  // namespace mok
