// Reading settings values as numbers: our decimal reader against the C library's strtod on the
// same texts (flags, versions, sizes, password pieces, and long and extreme ones), measured in
// one run. Prints the time of each and the ratio.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "values.h"

int main() {
  std::vector<std::string> texts;
  for (int i = 0; i < 2000; ++i) {
    texts.push_back(std::to_string(i % 2));                                  // flags
    texts.push_back("1." + std::to_string(10 + i % 90));                      // versions
    texts.push_back(std::to_string(i * 37) + "." + std::to_string(i % 997));  // sizes
    texts.push_back(std::to_string(11 + i % 88));                             // password pieces
  }
  std::vector<std::string> hard;
  for (int i = 0; i < 200; ++i) {
    hard.push_back("0.3000000000000000000000000000000" + std::to_string(i));  // long
    hard.push_back("2.4703282292062328e-3" + std::to_string(20 + i % 5));     // extreme
  }
  const int rounds = 200;
  auto time = [&rounds](const std::vector<std::string>& texts, auto read) {
    double sum = 0;
    auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r)
      for (const std::string& t : texts) sum += read(t);
    auto end = std::chrono::steady_clock::now();
    if (sum == 42) std::puts("");  // keeps the work
    return std::chrono::duration<double>(end - start).count();
  };
  auto ours = [](const std::string& t) {
    double v = 0;
    core::ParseNumber(t, v);
    return v;
  };
  auto library = [](const std::string& t) { return std::strtod(t.c_str(), nullptr); };
  for (auto* set : {&texts, &hard}) {
    double a = time(*set, ours), b = time(*set, library);
    std::printf("%s: %zu texts x %d: decimal reader %.3f s, strtod %.3f s, ratio %.2f\n",
                set == &texts ? "settings values" : "long and extreme", set->size(), rounds, a, b, a / b);
  }
}
