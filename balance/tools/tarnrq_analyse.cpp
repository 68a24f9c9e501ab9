// tarnrq-analyse: the sway measures of a recorded test as one JSON object.
#include <cstdio>
#include <string>
#include <vector>

#include "balance/tools/analysecli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, error;
  const int code = tarn::analysecli::Run(args, out, error);
  if (code != 0) {
    std::fprintf(stderr, "tarnrq-analyse: %s\n", error.c_str());
    return code;
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}
