// layercheck ROOT: prints every include or link line that breaks the layer rules; exit 1 if any.
#include <cstdio>

#include "testsupport/layers/layers.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: layercheck SOURCE-ROOT\n");
    return 2;
  }
  const auto found = tarn::layers::Check(argv[1]);
  for (const auto& v : found) std::printf("%s: %s\n", v.where.c_str(), v.what.c_str());
  std::printf("%zu layer violation(s)\n", found.size());
  return found.empty() ? 0 : 1;
}
