// The rows a benchmark program contributes to the table that scripts/bench prints. A row names what is
// measured, our benchmark, the peer's benchmark (the same operation on the same data) and the goal for
// the ratio ours / peer ("" for none). A name may end in "@N" to count its time per N items (a load of
// N elements). The rows travel in the context of the program's JSON output, in the order declared.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

inline void TableRow(const std::string& What, const std::string& Ours, const std::string& Peer,
                     const std::string& Goal) {
  static int count = 0;
  char key[32];
  std::snprintf(key, sizeof key, "table-row-%03d", ++count);
  benchmark::AddCustomContext(key, What + "|" + Ours + "|" + Peer + "|" + Goal);
}
