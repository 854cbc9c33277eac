// efdgen: writes a generated EFD-Contribuições network into a folder.
//   efdgen --establishments N --lines L --seed S [--same-cnpj PARTS] [--cumulative]
//          [--every-record] [--per-file N] [--common-credits] DIR
// --every-record completes each file with every record of the layout;
// --common-credits gives each file common credits (CST 53, 56) apportioned by its own 0111;
// --per-file N puts N establishments in each file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "tools/efdgen/network.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: efdgen --establishments N --lines L --seed S [--same-cnpj PARTS] [--cumulative]\n"
               "              [--every-record] [--per-file N] [--common-credits] DIR\n");
  return 2;
}

// Parses a whole decimal number into `out`; false when `text` is not one.
bool ParseNumber(const char* text, long long& out) {
  char* end = nullptr;
  out = std::strtoll(text, &end, 10);
  return *text && end && *end == 0;
}

}  // namespace

int main(int argc, char** argv) {
  NetworkOptions options;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    long long n = 0;
    auto number = [&](long long lo, long long hi) {
      return i + 1 < argc && ParseNumber(argv[++i], n) && n >= lo && n <= hi;
    };
    if (arg == "--establishments") {
      if (!number(1, 9999)) return Usage();
      options.establishments = static_cast<int>(n);
    } else if (arg == "--lines") {
      if (!number(1, 1000000000000LL)) return Usage();
      options.targetLines = n;
    } else if (arg == "--seed") {
      if (!number(0, 4294967295LL)) return Usage();
      options.seed = static_cast<uint32_t>(n);
    } else if (arg == "--same-cnpj") {
      if (!number(0, 9999)) return Usage();
      options.sameCnpjParts = static_cast<int>(n);
    } else if (arg == "--cumulative") {
      options.cumulative = true;
    } else if (arg == "--every-record") {
      options.everyRecord = true;
    } else if (arg == "--common-credits") {
      options.commonCredits = true;
    } else if (arg == "--per-file") {
      if (!number(1, 9999)) return Usage();
      options.establishmentsPerFile = static_cast<int>(n);
    } else if (!arg.empty() && arg[0] != '-' && dir.empty()) {
      dir = arg;
    } else {
      return Usage();
    }
  }
  if (dir.empty()) return Usage();
  try {
    for (const std::string& path : WriteNetwork(options, dir)) std::printf("%s\n", path.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "efdgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
