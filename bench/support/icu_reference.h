#pragma once

// Raw ICU converters for the reference side of the benchmarks: opened once by
// name and reused, without any of the program's callbacks.

#include <unicode/ucnv.h>

#include <cstdlib>
#include <map>
#include <string>

namespace mok::bench {

inline UConverter* Converter(const char* name) {
  static std::map<std::string, UConverter*> cache;
  auto found = cache.find(name);
  if (found != cache.end()) return found->second;
  UErrorCode err = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &err);
  if (U_FAILURE(err)) std::abort();
  cache.emplace(name, converter);
  return converter;
}

}  // namespace mok::bench
