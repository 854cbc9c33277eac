#include "tools/efdgen/gen_data.h"

// Latin-1 bytes are written as escapes; a string is split ("\xC9" "DITO")
// where the next letter would otherwise continue the escape.

uint64_t GenRandom::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t GenHash(uint64_t a, uint64_t b, uint64_t c) {
  GenRandom r(a * 0x100000001B3ull ^ (b << 21) ^ (c * 0x9E3779B97F4A7C15ull));
  r.Next();
  return r.Next();
}

std::string Digits(uint64_t n, int width) {
  std::string s(width, '0');
  for (int i = width - 1; i >= 0; --i, n /= 10) s[i] = static_cast<char>('0' + n % 10);
  return s;
}

namespace {

char CnpjDigit(const std::string& d, const int* weights) {
  int sum = 0;
  for (size_t i = 0; i < d.size(); ++i) sum += (d[i] - '0') * weights[i];
  int r = sum % 11;
  return static_cast<char>('0' + (r < 2 ? 0 : 11 - r));
}

}  // namespace

std::string MakeCnpj(uint32_t root, int branch) {
  static const int w1[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  static const int w2[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  std::string s = Digits(root, 8) + Digits(static_cast<uint64_t>(branch), 4);
  s += CnpjDigit(s, w1);
  s += CnpjDigit(s, w2);
  return s;
}

std::string WithKeyDigit(const std::string& digits) {
  int sum = 0, weight = 2;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    sum += (*it - '0') * weight;
    weight = weight == 9 ? 2 : weight + 1;
  }
  int r = sum % 11;
  return digits + static_cast<char>('0' + (r < 2 ? 0 : 11 - r));
}

const GenCity& CityOf(uint64_t n) {
  static const GenCity kCities[] = {
      {"S\xE3o Paulo", "3550308", "SP"},      {"Bel\xE9m", "1501402", "PA"},
      {"Goi\xE2nia", "5208707", "GO"},        {"Florian\xF3polis", "4205407", "SC"},
      {"Ribeir\xE3o Preto", "3543402", "SP"}, {"Curitiba", "4106902", "PR"},
      {"Macei\xF3", "2704302", "AL"},         {"Bras\xEDlia", "5300108", "DF"},
      {"Vit\xF3ria", "3205309", "ES"},        {"S\xE3o Lu\xEDs", "2111300", "MA"},
  };
  return kCities[n % (sizeof kCities / sizeof kCities[0])];
}

std::string ParticipantName(uint64_t h) {
  static const char* kFirst[] = {"COMERCIAL", "DISTRIBUIDORA", "TRANSPORTES", "Padaria", "A\xC7\xC3O",
                                 "Mercearia", "IND\xDA" "STRIA", "Atacad\xE3o", "CONSTRU\xC7\xD5" "ES",
                                 "Farm\xE1" "cia"};
  static const char* kSecond[] = {" S\xC3O JORGE", " D'OESTE", " do Jo\xE3o", " GUARAN\xC1", " Irm\xE3os Ara\xFAjo",
                                  " PAR\xC1", " Boa Esperan\xE7" "a", " CEAR\xC1", " Tr\xEAs Cora\xE7\xF5" "es",
                                  " Nova Am\xE9rica"};
  static const char* kThird[] = {" LTDA", " ME", " EIRELI", " S/A", " Ltda."};
  std::string s = kFirst[h % 10];
  s += kSecond[(h / 10) % 10];
  s += kThird[(h / 100) % 5];
  return s;
}

std::string ItemName(uint64_t h) {
  static const char* kWhat[] = {"PARAFUSO A\xC7O INOX", "Farinha de trigo", "CAF\xC9 TORRADO", "FEIJ\xC3O CARIOCA",
                                "A\xC7\xDA" "CAR CRISTAL", "Sab\xE3o em p\xF3", "\xD3LEO DE SOJA", "Lingui\xE7" "a calabresa",
                                "CABO EL\xC9TRICO", "Pe\xE7" "a de reposi\xE7\xE3o"};
  static const char* kSize[] = {" 1KG", " 500G", " 5L", " 10MM", " cx c/ 12", " PCT", " 2,5M", " UN"};
  std::string s = kWhat[h % 10];
  s += kSize[(h / 10) % 8];
  return s;
}

const GenUnit& UnitOf(uint64_t n) {
  static const GenUnit kUnits[] = {{"UN", "UNIDADE"}, {"KG", "QUILOGRAMA"}, {"CX", "CAIXA"},
                                   {"LT", "LITRO"},   {"PC", "PE\xC7" "A"},  {"MT", "METRO"}};
  return kUnits[n % UnitCount()];
}

int UnitCount() { return 6; }
