// Exchanging the values of two keys of a map, used where two input files
// exchange their numbers (the ledger's per-file counts, the staged names).
#pragma once

#include <utility>

// Exchanges the values under keys `a` and `b` of `m` (either may be absent:
// its value then moves to the other key alone). Never throws beyond the map's
// own allocation.
template <class Map>
void SwapKeys(Map& m, const typename Map::key_type& a, const typename Map::key_type& b) {
  auto na = m.extract(a), nb = m.extract(b);
  if (!na.empty()) {
    na.key() = b;
    m.insert(std::move(na));
  }
  if (!nb.empty()) {
    nb.key() = a;
    m.insert(std::move(nb));
  }
}
