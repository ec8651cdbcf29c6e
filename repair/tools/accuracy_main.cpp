// Prints the accuracy of the repair suggestions on the benchmark corpus: top-1,
// top-3 and wrong repairs per garbling and class, false repairs on clean text.
//   repair_accuracy [CORPUS.jsonl]   (default: repair/corpus/benchmark.jsonl)

#include <cstdio>

#include "repair/tools/corpus.h"

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : MOK_REPAIR_CORPUS;
  const auto samples = mok::corpus::ReadFile(path);
  if (!samples) {
    std::fprintf(stderr, "repair_accuracy: cannot read %s\n", path);
    return 1;
  }
  std::fputs(mok::corpus::FormatTable(mok::corpus::Measure(*samples)).c_str(), stdout);
  return 0;
}
