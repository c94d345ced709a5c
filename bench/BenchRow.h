#pragma once
// The line each benchmark prints per measured work, besides its own text, for tools/run-bench to
// gather into one table: "row", the work, the figure of Kestrova, the figure of the reference,
// the reference's name, the unit and the ratio at or below which the goal is met (0: no goal),
// separated by tabs.

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

inline void PrintBenchRow(const std::string& aWork, double aFigure, double aReference,
                          const std::string& aReferenceName, const char* aUnit, double aGoal) {
  std::printf("row\t%s\t%.4f\t%.4f\t%s\t%s\t%.2f\n", aWork.c_str(), aFigure, aReference,
              aReferenceName.c_str(), aUnit, aGoal);
  std::fflush(stdout);
}

// The entry point of a benchmark run as aBench(size), the size from its first argument or
// aDefaultSize. The Windows build links with -municode, whose start-up code calls wmain.
#ifdef _WIN32
#define KESTROVA_BENCH_MAIN(aBench, aDefaultSize)                                                  \
  int wmain(int argc, wchar_t** argv) {                                                            \
    return aBench(argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : aDefaultSize);  \
  }
#else
#define KESTROVA_BENCH_MAIN(aBench, aDefaultSize)                                                  \
  int main(int argc, char** argv) {                                                                \
    return aBench(argc > 1 ? std::atoi(argv[1]) : aDefaultSize);                                   \
  }
#endif
