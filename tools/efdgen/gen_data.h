// Building blocks of the generated networks: a portable random stream, CNPJ
// and access-key digits, and the Latin-1 texts the files carry.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// splitmix64: the same numbers on every platform and compiler.
class GenRandom {
 public:
  explicit GenRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // A number in [lo, hi] (inclusive); lo <= hi.
  int64_t Range(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(Next() % static_cast<uint64_t>(hi - lo + 1)); }
  bool Chance(int percent) { return Range(1, 100) <= percent; }

 private:
  uint64_t state_;
};

// A hash of three numbers, for data that must be equal wherever it appears
// (a participant shared by several files is written the same in each).
uint64_t GenHash(uint64_t a, uint64_t b, uint64_t c);

// A CNPJ with its two check digits: `root` (8 digits) + `branch` (4 digits).
std::string MakeCnpj(uint32_t root, int branch);
// `digits` (43 digits) followed by its modulo-11 check digit.
std::string WithKeyDigit(const std::string& digits);
// `n` as a text of exactly `width` digits (leading zeros, high digits dropped).
std::string Digits(uint64_t n, int width);

struct GenCity {
  const char* name;  // Latin-1
  const char* code;  // IBGE municipality code
  const char* uf;
};
const GenCity& CityOf(uint64_t n);

// Latin-1 texts: names of participants, items and their units.
std::string ParticipantName(uint64_t h);
std::string ItemName(uint64_t h);
struct GenUnit {
  const char* code;
  const char* descr;
};
const GenUnit& UnitOf(uint64_t n);
int UnitCount();
