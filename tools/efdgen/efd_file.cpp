#include "tools/efdgen/efd_file.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "tools/efdgen/efd_writer.h"
#include "tools/efdgen/full_mix.h"
#include "tools/efdgen/gen_data.h"

namespace {

// Accounts of the chart (0500) that documents refer to.
const char* const kAcctRevenue = "3.01.01.01.01";
const char* const kAcctPurchases = "4.01.01.01.01";
const char* const kAcctFreight = "4.01.02.01.03";
const char* const kAcctEnergy = "4.01.02.01.05";
const char* const kAcctPhone = "4.01.02.01.06";

struct Participant {
  std::string code, name, cnpj, cpf, ie;
  const GenCity* city;
};

struct Item {
  std::string code, name, ncm;
  const GenUnit* unit;
  bool changed;  // has a 0205 line
};

// `hundredths` hundredths of a percent of `cents` (165 = 1,65%), rounded half up.
int64_t Percent(int64_t cents, int hundredths) { return (cents * hundredths + 5000) / 10000; }

// a × b ÷ c rounded half up (all non-negative; 0 when c is 0).
int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return 0;
  return static_cast<int64_t>((static_cast<__int128>(a) * b * 2 + c) / (static_cast<__int128>(c) * 2));
}

// A base of credits common to several kinds of revenue: its nature
// (NAT_BC_CRED), CST and the revenue groups it spreads over ('1' taxed,
// '2' untaxed, '3' exports, as the first digit of COD_CRED).
struct CommonBase {
  const char* nature;
  const char* cst;
  const char* groups;
  int64_t total = 0;  // cents
};

// A CPF made of the last nine digits of `n` and its two check digits.
std::string Cpf(uint64_t n) {
  std::string s = Digits(n, 9);
  for (int len = 9; len <= 10; ++len) {
    int sum = 0;
    for (int i = 0; i < len; ++i) sum += (s[i] - '0') * (len + 1 - i);
    int r = (sum * 10) % 11;
    s += static_cast<char>('0' + (r == 10 ? 0 : r));
  }
  return s;
}

// The participant of hash `h`: equal hashes give equal participants; about one
// in ten is a person (CPF), the others companies (CNPJ and state registration).
Participant MakeParticipant(uint64_t h, std::string code) {
  Participant p;
  p.code = std::move(code);
  p.name = ParticipantName(h);
  p.city = &CityOf(h >> 20);
  if (h % 10 == 3) {
    p.cpf = Cpf((h >> 8) % 1000000000ull);
  } else {
    p.cnpj = MakeCnpj(static_cast<uint32_t>((h >> 8) % 100000000ull), 1 + static_cast<int>((h >> 40) % 3));
    p.ie = (h % 7 == 0) ? "ISENTO" : Digits(h >> 12, 12);
  }
  return p;
}

// The item of hash `h`: name, NCM and unit from the hash; one in ten has an
// earlier description (0205).
Item MakeItem(uint64_t h, std::string code) {
  Item it;
  it.code = std::move(code);
  it.name = ItemName(h);
  it.ncm = Digits(10000000 + (h >> 16) % 89999999, 8);
  it.unit = &UnitOf(h >> 8);
  it.changed = (h >> 32) % 10 == 0;
  return it;
}

// Writes one file. Amounts are kept in cents and summed per tax situation so
// that Block M agrees with the documents.
class FileWriter {
 public:
  // Opens the file (std::runtime_error when it cannot be created) and plans it.
  FileWriter(const CompanyPlan& company, const FilePlan& plan, const std::string& path)
      : c_(company), p_(plan), w_(path), rnd_(GenHash(company.seed, 1000 + plan.index, 7)) {
    pisRate_ = c_.cumulative ? 65 : 165;
    cofRate_ = c_.cumulative ? 300 : 760;
    pisText_ = c_.cumulative ? "0,65" : "1,65";
    cofText_ = c_.cumulative ? "3,00" : "7,60";
    Plan();
    if (p_.everyRecord) {
      mix_ = std::make_unique<FullMix>(c_.Date(1), c_.Date(c_.lastDay));
      w_.RewriteBlocks([this](char letter, std::vector<std::string>& lines) { mix_->Block(letter, lines); });
    }
  }

  // Writes every block in file order and closes the file; std::runtime_error
  // on a write error.
  void Write() {
    Block0();
    BlockA();
    BlockC();
    BlockD();
    BlockF();
    Empty('I');
    BlockM();
    Empty('P');
    Empty('1');
    w_.Finish();
  }

 private:
  void Plan();
  void Block0();
  void BlockA();
  void BlockC();
  void C100Group();
  void C400Group(int number, int c405Count);
  void BlockD();
  void BlockF();
  void BlockM();
  // M100..M110 / M500..M510 of a file with common credits: types 101, 201
  // and 301, each with the part of every common base its group takes by the
  // file's 0111 (and 101 with the CST 50 base). Returns the credit used.
  int64_t CommonCredits(const char* credit, const char* creditBase, const char* adjustCode, int rate,
                        const char* rateText, int64_t adjust, int64_t contribution);
  // The part of `base` that revenue group `group` takes by the file's 0111.
  int64_t GroupPart(const CommonBase& base, char group) const;
  // The establishment state of a file: its CNPJ, city, participants, items
  // and whether it has Blocks A and F. Select makes establishment k of the
  // file the current one.
  struct Establishment {
    int number = 0;     // 0 head office, 1.. branches
    int64_t index = 0;  // seeds its own participants and items
    std::string cnpj;
    const GenCity* city = nullptr;
    std::vector<Participant> parts;
    std::vector<Item> items;
    bool withA = false, withF = false;
  };
  void Swap(Establishment& e) {
    std::swap(estNo_, e.number);
    std::swap(index_, e.index);
    cnpj_.swap(e.cnpj);
    std::swap(city_, e.city);
    parts_.swap(e.parts);
    items_.swap(e.items);
    std::swap(withA_, e.withA);
    std::swap(withF_, e.withF);
  }
  void Select(size_t k) {
    if (k == current_) return;
    if (current_ < ests_.size()) Swap(ests_[current_]);
    Swap(ests_[k]);
    current_ = k;
  }
  void PlanEstablishment(int64_t nPart, int64_t nItem);
  void Block0Establishment();
  void BlockCEstablishment();
  void BlockDEstablishment();
  void Empty(char letter) {
    w_.OpenBlock(letter, false);
    w_.CloseBlock();
  }

  const Participant& AnyParticipant() { return parts_[rnd_.Range(0, parts_.size() - 1)]; }
  const Item& AnyItem() { return items_[rnd_.Range(0, items_.size() - 1)]; }
  std::string Day() { return c_.Date(static_cast<int>(rnd_.Range(1, c_.lastDay))); }
  // A document date, then a date not before it (entry, service): in this order.
  std::string DocDay() {
    lastDay_ = static_cast<int>(rnd_.Range(1, c_.lastDay));
    return c_.Date(lastDay_);
  }
  std::string LaterDay() { return c_.Date(static_cast<int>(rnd_.Range(lastDay_, c_.lastDay))); }
  // A document date and a later (or equal) entry date, both within the period.
  void Days(std::string& doc, std::string& entry) {
    int d = static_cast<int>(rnd_.Range(1, c_.lastDay));
    doc = c_.Date(d);
    entry = c_.Date(static_cast<int>(rnd_.Range(d, c_.lastDay)));
  }
  std::string NextDocNumber() { return std::to_string(static_cast<int64_t>(p_.index) * 1000000 + ++docNumber_); }
  std::string AccessKey(const std::string& emitter, const char* model, const std::string& number) {
    std::string d = "35" + Digits(c_.year % 100, 2) + Digits(c_.month, 2) + emitter + model + "001" +
                    Digits(std::stoll(number), 9) + "1" + Digits(rnd_.Next(), 8);
    return WithKeyDigit(d);
  }
  // An input line that gives credit: base and CST depend on the regime.
  const char* CreditCst() const { return c_.cumulative ? "70" : "50"; }
  int64_t CreditBase(int64_t value) const { return c_.cumulative ? 0 : value; }
  void AddCredit(int64_t base) { purchaseBase_ += CreditBase(base); }

  const CompanyPlan& c_;
  const FilePlan& p_;
  EfdWriter w_;
  GenRandom rnd_;
  std::vector<Establishment> ests_;
  size_t current_ = static_cast<size_t>(-1);
  int estNo_ = 0;
  int64_t index_ = 0;
  std::string cnpj_;
  const GenCity* city_ = nullptr;
  std::unique_ptr<FullMix> mix_;
  int pisRate_, cofRate_;
  const char* pisText_;
  const char* cofText_;

  std::vector<Participant> parts_;
  std::vector<Item> items_;
  int64_t nC100_ = 0, nC405_ = 0, nSmall_ = 1;
  bool withA_ = false, withF_ = false, withM110_ = false;
  int64_t docNumber_ = 0;
  int lastDay_ = 1;
  int64_t salesBase_ = 0, zeroRate_ = 0, purchaseBase_ = 0;
  int64_t revenue_[3] = {0, 0, 0};  // 0111 with common credits: taxed, untaxed, exports
  CommonBase common_[2] = {{"02", "56", "123"}, {"13", "53", "12"}};
};

// Sizes the file from its target: fixed lines for the headers, closers and
// Block 9, the rest shared out among participants, items, C100 documents,
// C405 reductions and a few of each smaller group; then picks the
// participants and items.
void FileWriter::Plan() {
  const int64_t overhead = 180;
  const int64_t rest = std::max<int64_t>(0, p_.targetLines - overhead);
  const int64_t nPart = std::max<int64_t>(4, rest * 4 / 100);
  const int64_t nItem = std::max<int64_t>(6, rest * 6 / 100);
  nC100_ = std::max<int64_t>(2, rest * 55 / 415);  // about 4.15 lines a document
  nC405_ = std::max<int64_t>(1, rest * 25 / 100 / 6);
  nSmall_ = std::max<int64_t>(1, rest * 5 / 100 / 35);
  // Every establishment of the file in turn: its flags (the first's drawn
  // before the file's M110 choice), then its participants and items.
  const int count = std::max(1, p_.establishments);
  ests_.resize(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) {
    Select(static_cast<size_t>(k));
    estNo_ = p_.establishment + k;
    index_ = count > 1 ? estNo_ : p_.index;
    cnpj_ = c_.Cnpj(estNo_);
    city_ = &CityOf(c_.seed + estNo_);
    withA_ = rnd_.Chance(50);
    withF_ = rnd_.Chance(50);
    if (k == 0) withM110_ = !c_.cumulative && rnd_.Chance(30);
    PlanEstablishment(nPart, nItem);
  }
  Select(0);
  if (c_.commonCredits) {
    // A stream of its own, so that the rest of the file is as without them.
    GenRandom r(GenHash(c_.seed, 2000 + p_.index, 11));
    revenue_[0] = r.Range(100000000, 900000000);
    revenue_[1] = r.Range(10000000, 300000000);
    revenue_[2] = r.Range(5000000, 200000000);
    for (CommonBase& b : common_) b.total = r.Range(100000, 5000000);
  }
}

// The participants and items of the current establishment: half of them
// from the company's shared pool (overlapping ranges from file to file), the
// others its own.
void FileWriter::PlanEstablishment(int64_t nPart, int64_t nItem) {
  const int64_t sharedPart = nPart / 2, sharedItem = nItem / 2;
  const int64_t partStart = index_ * std::max<int64_t>(1, sharedPart / 2);
  const int64_t itemStart = index_ * std::max<int64_t>(1, sharedItem / 2);
  for (int64_t i = 0; i < nPart; ++i) {
    if (i < sharedPart) {
      int64_t g = partStart + i;
      parts_.push_back(MakeParticipant(GenHash(c_.seed, 1, g), "F" + Digits(g, 6)));
    } else {
      parts_.push_back(MakeParticipant(GenHash(c_.seed, 2, index_ * 10000000ll + i),
                                       "E" + Digits(index_, 4) + "P" + Digits(i, 6)));
    }
  }
  for (int64_t i = 0; i < nItem; ++i) {
    if (i < sharedItem) {
      int64_t g = itemStart + i;
      items_.push_back(MakeItem(GenHash(c_.seed, 3, g), "IT" + Digits(g, 6)));
    } else {
      items_.push_back(MakeItem(GenHash(c_.seed, 4, index_ * 10000000ll + i),
                                "E" + Digits(index_, 4) + "I" + Digits(i, 6)));
      if (i == sharedItem) items_.back().changed = true;  // every file has a 0205
    }
  }
}

// 0000 and Block 0: headers, the establishment, participants, units, items
// (with their 0205), the note of C110 and the chart of accounts.
void FileWriter::Block0() {
  const std::string companyName = "IND\xDA" "STRIA E COM\xC9" "RCIO D'\xC1VILA LTDA";
  const GenCity& head = *city_;
  w_.Start("0000").Text("006").Text("0").Empty(2).Text(c_.Date(1)).Text(c_.Date(c_.lastDay))
      .Text(companyName).Text(cnpj_).Text(head.uf).Text(head.code).Empty().Text("00").Text("1").End();
  w_.OpenBlock('0', true);
  w_.Start("0100").Text("Maria das Gra\xE7" "as Contabilista").Text("12345678909").Text("SP123456O5").Empty()
      .Text("01310100").Text("Avenida Paulista").Text("1000").Text("Sala 12").Text("Bela Vista")
      .Text("1133334444").Empty().Text("contabil@escritorio.com.br").Text("3550308").End();
  w_.Start("0110").Text(c_.cumulative ? "2" : "1").Text(c_.apportionment ? "2" : "1").Text("1")
      .Text(c_.cumulative ? "9" : "").End();
  if (c_.commonCredits)
    w_.Start("0111").Money(revenue_[0]).Money(revenue_[1]).Money(revenue_[2]).Money(0)
        .Money(revenue_[0] + revenue_[1] + revenue_[2]).End();
  else if (c_.apportionment)
    w_.Start("0111").Money(1200000000).Money(30000000).Money(15000000).Money(0).Money(1245000000).End();
  for (size_t k = 0; k < ests_.size(); ++k) {
    Select(k);
    Block0Establishment();
  }
  Select(0);
  struct Account {
    const char* code;
    const char* name;
    const char* nature;
  };
  static const Account kAccounts[] = {{kAcctRevenue, "Receita de vendas de mercadorias", "04"},
                                      {kAcctPurchases, "Compras de mercadorias para revenda", "04"},
                                      {kAcctFreight, "Fretes e carretos", "04"},
                                      {kAcctEnergy, "Energia el\xE9trica", "04"},
                                      {kAcctPhone, "Telefone e comunica\xE7\xF5" "es", "04"}};
  for (const Account& a : kAccounts)
    w_.Start("0500").Text("01012020").Text(a.nature).Text("A").Text("5").Text(a.code).Text(a.name).Empty(2).End();
  w_.CloseBlock();
}

// The current establishment's 0140 with its participants, units, items (with
// their 0205) and the note of C110.
void FileWriter::Block0Establishment() {
  const std::string companyName = "IND\xDA" "STRIA E COM\xC9" "RCIO D'\xC1VILA LTDA";
  std::string estName = companyName;
  if (estNo_ > 0) estName += std::string(" - Filial ") + city_->name;
  w_.Start("0140").Text("1").Text(estName).Text(cnpj_).Text(city_->uf).Text(Digits(GenHash(c_.seed, 9, estNo_), 12))
      .Text(city_->code).Empty(2).End();
  for (const Participant& pt : parts_)
    w_.Start("0150").Text(pt.code).Text(pt.name).Text("01058").Text(pt.cnpj).Text(pt.cpf).Text(pt.ie)
        .Text(pt.city->code).Empty().Text("Rua das Ac\xE1" "cias").Int(static_cast<int64_t>(pt.name.size()) * 7)
        .Text(pt.cpf.empty() ? "Galp\xE3o 2" : "").Text("Centro").End();
  bool used[16] = {};
  for (const Item& it : items_) used[it.unit - &UnitOf(0)] = true;
  for (int u = 0; u < UnitCount(); ++u)
    if (used[u]) w_.Start("0190").Text(UnitOf(u).code).Text(UnitOf(u).descr).End();
  for (const Item& it : items_) {
    w_.Start("0200").Text(it.code).Text(it.name).Empty(2).Text(it.unit->code).Text("00").Text(it.ncm)
        .Empty(3).Text("18,00").End();
    if (it.changed)
      w_.Start("0205").Text(it.name + " (descri\xE7\xE3o anterior)").Text("01012020").Text("31122022").Empty().End();
  }
  w_.Start("0450").Text("000001").Text("Documento emitido por ME ou EPP optante pelo Simples Nacional").End();
}

// Block A: a service invoice (A100/A170) when the plan says so, else empty.
void FileWriter::BlockA() {
  bool any = false;
  for (size_t k = 0; k < ests_.size(); ++k) Select(k), any = any || withA_;
  w_.OpenBlock('A', any);
  for (size_t k = 0; k < ests_.size(); ++k) {
    Select(k);
    if (!withA_) continue;
    w_.Start("A010").Text(cnpj_).End();
    int64_t value = rnd_.Range(50000, 900000);
    int64_t pis = Percent(value, pisRate_), cof = Percent(value, cofRate_);
    salesBase_ += value;
    w_.Start("A100").Text("1").Text("0").Text(AnyParticipant().code).Text("00").Text("1").Empty().Text(NextDocNumber())
        .Empty().Text(DocDay()).Text(LaterDay()).Money(value).Text("0").Money(0).Money(value).Money(pis).Money(value)
        .Money(cof).Money(0).Money(0).Money(Percent(value, 500)).End();
    w_.Start("A170").Text("1").Text(AnyItem().code).Text("Servi\xE7o de manuten\xE7\xE3o").Money(value).Money(0)
        .Empty(2).Text("01").Money(value).Text(pisText_).Money(pis).Text("01").Money(value).Text(cofText_)
        .Money(cof).Text(kAcctRevenue).Empty().End();
  }
  Select(0);
  w_.CloseBlock();
}

// Block C: the establishment (C010), its invoices, consolidated sales and
// purchases, consumer notes, fiscal printers, coupons and energy bills.
void FileWriter::BlockC() {
  w_.OpenBlock('C', true);
  for (size_t k = 0; k < ests_.size(); ++k) {
    Select(k);
    BlockCEstablishment();
  }
  Select(0);
  w_.CloseBlock();
}

// The current establishment's C010 with its documents.
void FileWriter::BlockCEstablishment() {
  w_.Start("C010").Text(cnpj_).Text("2").End();
  for (int64_t i = 0; i < nC100_; ++i) C100Group();

  for (int64_t g = 0; g < nSmall_; ++g) {  // consolidated sales (C180) and purchases (C190)
    const Item& it = AnyItem();
    int64_t value = rnd_.Range(100000, 5000000);
    w_.Start("C180").Text("55").Text(c_.Date(1)).Text(c_.Date(c_.lastDay)).Text(it.code).Text(it.ncm).Empty()
        .Money(value).End();
    int64_t pis = Percent(value, pisRate_), cof = Percent(value, cofRate_);
    salesBase_ += value;
    w_.Start("C181").Text("01").Text("5102").Money(value).Money(0).Money(value).Text(pisText_).Empty(2).Money(pis)
        .Text(kAcctRevenue).End();
    w_.Start("C185").Text("01").Text("5102").Money(value).Money(0).Money(value).Text(cofText_).Empty(2).Money(cof)
        .Text(kAcctRevenue).End();
  }
  for (int64_t g = 0; g < nSmall_; ++g) {
    const Item& it = AnyItem();
    int64_t value = rnd_.Range(100000, 3000000);
    const Participant& pt = AnyParticipant();
    const std::string& doc = pt.cnpj.empty() ? pt.cpf : pt.cnpj;
    w_.Start("C190").Text("55").Text(c_.Date(1)).Text(c_.Date(c_.lastDay)).Text(it.code).Text(it.ncm).Empty()
        .Money(value).End();
    int64_t base = CreditBase(value);
    AddCredit(value);
    w_.Start("C191").Text(doc).Text(CreditCst()).Text("1102").Money(value).Money(0).Money(base).Text(pisText_)
        .Empty(2).Money(Percent(base, pisRate_)).Text(kAcctPurchases).End();
    w_.Start("C195").Text(doc).Text(CreditCst()).Text("1102").Money(value).Money(0).Money(base).Text(cofText_)
        .Empty(2).Money(Percent(base, cofRate_)).Text(kAcctPurchases).End();
  }
  for (int64_t g = 0; g < nSmall_; ++g) {  // consumer sales notes (C380)
    const Item& it = AnyItem();
    int64_t value = rnd_.Range(10000, 800000);
    // NUM_DOC_INI and NUM_DOC_FIN have at most 6 digits: the ranges start over.
    int64_t first = 1 + (g % 999) * 1000;
    salesBase_ += value;
    w_.Start("C380").Text("02").Text(c_.Date(1)).Text(c_.Date(c_.lastDay)).Int(first).Int(first + 999).Money(value)
        .Money(0).End();
    w_.Start("C381").Text("01").Text(it.code).Money(value).Money(value).Text(pisText_).Empty(2)
        .Money(Percent(value, pisRate_)).Text(kAcctRevenue).End();
    w_.Start("C385").Text("01").Text(it.code).Money(value).Money(value).Text(cofText_).Empty(2)
        .Money(Percent(value, cofRate_)).Text(kAcctRevenue).End();
  }
  for (int64_t left = nC405_, number = 1; left > 0; ++number) {
    int count = static_cast<int>(std::min<int64_t>(left, c_.lastDay));
    C400Group(static_cast<int>(number), count);
    left -= count;
  }
  for (int64_t g = 0; g < nSmall_; ++g) {  // fiscal coupons of the period (C490)
    w_.Start("C490").Text(c_.Date(1)).Text(c_.Date(c_.lastDay)).Text("2D").End();
    const Item& it = AnyItem();
    int64_t value = rnd_.Range(10000, 300000);
    salesBase_ += value;
    w_.Start("C491").Text(it.code).Text("01").Text("5102").Money(value).Money(value).Text(pisText_).Empty(2)
        .Money(Percent(value, pisRate_)).Text(kAcctRevenue).End();
    w_.Start("C495").Text(it.code).Text("01").Text("5102").Money(value).Money(value).Text(cofText_).Empty(2)
        .Money(Percent(value, cofRate_)).Text(kAcctRevenue).End();
  }
  for (int64_t g = 0; g < nSmall_; ++g) {  // energy bills (C500)
    const Participant& pt = AnyParticipant();
    int64_t value = rnd_.Range(20000, 2000000);
    int64_t base = CreditBase(value);
    AddCredit(value);
    bool electronic = rnd_.Chance(50);
    std::string number = NextDocNumber();
    std::string key = electronic && !pt.cnpj.empty() ? AccessKey(pt.cnpj, "66", number) : "";
    w_.Start("C500").Text(pt.code).Text(electronic ? "66" : "06").Text("00").Text("1").Empty().Text(number)
        .Text(DocDay()).Text(LaterDay()).Money(value).Money(Percent(value, 1800)).Empty().Money(Percent(base, pisRate_))
        .Money(Percent(base, cofRate_)).Text(key).End();
    w_.Start("C501").Text(CreditCst()).Money(value).Text(c_.cumulative ? "" : "04").Money(base).Text(pisText_)
        .Money(Percent(base, pisRate_)).Text(kAcctEnergy).End();
    w_.Start("C505").Text(CreditCst()).Money(value).Text(c_.cumulative ? "" : "04").Money(base).Text(cofText_)
        .Money(Percent(base, cofRate_)).Text(kAcctEnergy).End();
  }
}

// One invoice: C100 with its C110 note sometimes, and its items (C170) or,
// for an NFC-e, its consolidated lines (C175).
void FileWriter::C100Group() {
  struct Line {
    const Item* item;
    int64_t qty, value;
    bool zero;
  };
  Line lines[6];
  const bool nfce = rnd_.Chance(25);
  const bool output = nfce || rnd_.Chance(60);
  const int n = static_cast<int>(nfce ? rnd_.Range(1, 2) : rnd_.Range(1, 6));
  int64_t total = 0, pis = 0, cof = 0;
  for (int i = 0; i < n; ++i) {
    Line& l = lines[i];
    l.item = &AnyItem();
    l.qty = rnd_.Range(1, 50);
    l.value = l.qty * rnd_.Range(100, 50000);
    l.zero = output && !nfce && rnd_.Chance(10);
    total += l.value;
    int64_t base = output ? (l.zero ? 0 : l.value) : CreditBase(l.value);
    pis += Percent(base, pisRate_);
    cof += Percent(base, cofRate_);
  }
  const Participant* pt = nfce ? nullptr : &AnyParticipant();
  const std::string number = NextDocNumber();
  const std::string emitter = output || !pt || pt->cnpj.empty() ? cnpj_ : pt->cnpj;
  const char* model = nfce ? "65" : "55";
  std::string docDay, entryDay;
  Days(docDay, entryDay);
  w_.Start("C100").Text(output ? "1" : "0").Text(output ? "0" : "1").Text(pt ? pt->code : "").Text(model).Text("00")
      .Text("1").Text(number).Text(AccessKey(emitter, model, number)).Text(docDay).Text(entryDay).Money(total)
      .Text(rnd_.Chance(50) ? "0" : "1").Money(0).Money(0).Money(total).Text("9").Money(0).Money(0).Money(0)
      .Money(total).Money(Percent(total, 1800)).Money(0).Money(0).Money(0).Money(pis).Money(cof).Money(0).Money(0)
      .End();
  if (!nfce && rnd_.Chance(20)) w_.Start("C110").Text("000001").Text("Nota emitida em conting\xEAncia").End();
  for (int i = 0; i < n; ++i) {
    const Line& l = lines[i];
    if (nfce) {
      salesBase_ += l.value;
      w_.Start("C175").Text("5102").Money(l.value).Money(0).Text("01").Money(l.value).Text(pisText_).Empty(2)
          .Money(Percent(l.value, pisRate_)).Text("01").Money(l.value).Text(cofText_).Empty(2)
          .Money(Percent(l.value, cofRate_)).Text(kAcctRevenue).Empty().End();
      continue;
    }
    const char* cst = output ? (l.zero ? "06" : "01") : CreditCst();
    int64_t base = output ? (l.zero ? 0 : l.value) : CreditBase(l.value);
    if (output) (l.zero ? zeroRate_ : salesBase_) += l.value;
    else AddCredit(l.value);
    w_.Start("C170").Int(i + 1).Text(l.item->code).Empty().Int(l.qty).Text(l.item->unit->code).Money(l.value)
        .Money(0).Text("0").Text("000").Text(output ? "5102" : "1102").Empty().Money(l.value).Text("18,00")
        .Money(Percent(l.value, 1800)).Money(0).Money(0).Money(0).Text("0").Empty(2).Money(0).Money(0).Money(0)
        .Text(cst).Money(base).Text(base ? pisText_ : "0,00").Empty(2).Money(Percent(base, pisRate_))
        .Text(cst).Money(base).Text(base ? cofText_ : "0,00").Empty(2).Money(Percent(base, cofRate_))
        .Text(output ? kAcctRevenue : kAcctPurchases).End();
  }
}

// Fiscal printer `number` (C400) with `c405Count` daily reductions (C405),
// each with one to four C481 lines and the matching C485 lines.
void FileWriter::C400Group(int number, int c405Count) {
  w_.Start("C400").Text("2D").Text("MP-4200 TH FI").Text("BE" + Digits(GenHash(c_.seed, index_, number), 18))
      .Text(Digits(number, 3)).End();
  int64_t grand = GenHash(c_.seed, index_, number + 77) % 100000000;
  int64_t coo = 1;
  for (int k = 0; k < c405Count; ++k) {
    int pairs = static_cast<int>(rnd_.Range(1, 4));
    const Item* its[4];
    int64_t values[4], day = 0;
    for (int i = 0; i < pairs; ++i) {
      its[i] = &AnyItem();
      values[i] = rnd_.Range(1000, 300000);
      day += values[i];
    }
    grand += day;
    coo += rnd_.Range(20, 200);
    w_.Start("C405").Text(c_.Date(k + 1)).Text("1").Int(k + 1 + number * 100).Int(coo).Money(grand).Money(day).End();
    for (int i = 0; i < pairs; ++i) {
      salesBase_ += values[i];
      w_.Start("C481").Text("01").Money(values[i]).Money(values[i]).Text(pisText_).Empty(2)
          .Money(Percent(values[i], pisRate_)).Text(its[i]->code).Text(kAcctRevenue).End();
    }
    for (int i = 0; i < pairs; ++i)
      w_.Start("C485").Text("01").Money(values[i]).Money(values[i]).Text(cofText_).Empty(2)
          .Money(Percent(values[i], cofRate_)).Text(its[i]->code).Text(kAcctRevenue).End();
  }
}

// Block D: the establishment (D010), freight bills (D100) and
// telecommunication bills (D500), each with its PIS and COFINS lines.
void FileWriter::BlockD() {
  w_.OpenBlock('D', true);
  for (size_t k = 0; k < ests_.size(); ++k) {
    Select(k);
    BlockDEstablishment();
  }
  Select(0);
  w_.CloseBlock();
}

// The current establishment's D010 with its bills.
void FileWriter::BlockDEstablishment() {
  w_.Start("D010").Text(cnpj_).End();
  for (int64_t g = 0; g < nSmall_ * 2; ++g) {  // freight bills (CT-e)
    const Participant& pt = AnyParticipant();
    int64_t value = rnd_.Range(5000, 900000);
    int64_t base = CreditBase(value);
    AddCredit(value);
    std::string number = NextDocNumber();
    std::string key = AccessKey(pt.cnpj.empty() ? cnpj_ : pt.cnpj, "57", number);
    w_.Start("D100").Text("0").Text("1").Text(pt.code).Text("57").Text("00").Text("1").Empty().Text(number)
        .Text(key).Text(DocDay()).Text(LaterDay()).Text("0").Empty().Money(value).Money(0).Text("1").Money(value)
        .Money(value).Money(Percent(value, 1200)).Money(0).Empty().Text(kAcctFreight).End();
    w_.Start("D101").Text("0").Money(value).Text(CreditCst()).Text(c_.cumulative ? "" : "07").Money(base)
        .Text(pisText_).Money(Percent(base, pisRate_)).Text(kAcctFreight).End();
    w_.Start("D105").Text("0").Money(value).Text(CreditCst()).Text(c_.cumulative ? "" : "07").Money(base)
        .Text(cofText_).Money(Percent(base, cofRate_)).Text(kAcctFreight).End();
  }
  for (int64_t g = 0; g < nSmall_; ++g) {  // telecommunication bills
    const Participant& pt = AnyParticipant();
    int64_t value = rnd_.Range(5000, 300000);
    int64_t base = CreditBase(value);
    AddCredit(value);
    w_.Start("D500").Text("0").Text("1").Text(pt.code).Text("22").Text("00").Text("1").Empty().Text(NextDocNumber())
        .Text(DocDay()).Text(LaterDay()).Money(value).Money(0).Money(value).Money(0).Money(0).Money(0).Money(value)
        .Money(Percent(value, 2500)).Empty().Money(Percent(base, pisRate_)).Money(Percent(base, cofRate_)).End();
    w_.Start("D501").Text(CreditCst()).Money(value).Text(c_.cumulative ? "" : "13").Money(base).Text(pisText_)
        .Money(Percent(base, pisRate_)).Text(kAcctPhone).End();
    w_.Start("D505").Text(CreditCst()).Money(value).Text(c_.cumulative ? "" : "13").Money(base).Text(cofText_)
        .Money(Percent(base, cofRate_)).Text(kAcctPhone).End();
  }
}

// Block F: another revenue (F100) when the plan says so, else empty.
void FileWriter::BlockF() {
  bool any = false;
  for (size_t k = 0; k < ests_.size(); ++k) Select(k), any = any || withF_;
  w_.OpenBlock('F', any);
  for (size_t k = 0; k < ests_.size(); ++k) {
    Select(k);
    if (!withF_) continue;
    w_.Start("F010").Text(cnpj_).End();
    int64_t value = rnd_.Range(10000, 500000);
    salesBase_ += value;
    w_.Start("F100").Text("1").Text(AnyParticipant().code).Empty().Text(Day()).Money(value).Text("01").Money(value)
        .Text(pisText_).Money(Percent(value, pisRate_)).Text("01").Money(value).Text(cofText_)
        .Money(Percent(value, cofRate_)).Empty(2).Text(kAcctRevenue).Empty().Text("Aluguel de m\xE1quinas").End();
  }
  Select(0);
  w_.CloseBlock();
}

// Block M from the sums of the documents: credits (M100..M110 and
// M500..M510, non-cumulative only), contributions (M200..M210, M600..M610)
// and zero-rated revenue (M400/M410, M800/M810).
void FileWriter::BlockM() {
  w_.OpenBlock('M', true);
  struct Tax {
    const char* credit;     // M100 / M500
    const char* creditBase; // M105 / M505
    const char* adjust;     // M110 / M510
    const char* total;      // M200 / M600
    const char* debit;      // M205 / M605
    const char* contrib;    // M210 / M610
    const char* exempt;     // M400 / M800
    const char* exemptItem; // M410 / M810
    int rate;
    const char* rateText;
    const char* revenueCode;
  };
  const Tax taxes[2] = {
      {"M100", "M105", "M110", "M200", "M205", "M210", "M400", "M410", pisRate_, pisText_,
       c_.cumulative ? "810902" : "691201"},
      {"M500", "M505", "M510", "M600", "M605", "M610", "M800", "M810", cofRate_, cofText_,
       c_.cumulative ? "217201" : "585601"}};
  const int64_t adjustBase = withM110_ ? rnd_.Range(1000, 90000) : 0;
  for (const Tax& t : taxes) {
    const int64_t contribution = Percent(salesBase_, t.rate);
    int64_t used = 0;
    if (!c_.cumulative && c_.commonCredits) {
      used = CommonCredits(t.credit, t.creditBase, t.adjust, t.rate, t.rateText, Percent(adjustBase * 10, t.rate),
                           contribution);
    } else if (!c_.cumulative) {
      const int64_t credit = Percent(purchaseBase_, t.rate);
      const int64_t adjust = Percent(adjustBase * 10, t.rate);
      const int64_t available = credit + adjust;
      used = std::min(available, contribution);
      w_.Start(t.credit).Text("101").Text("0").Money(purchaseBase_).Text(t.rateText).Empty(2).Money(credit)
          .Money(adjust).Money(0).Money(0).Money(available).Text("0").Money(used).Money(available - used).End();
      w_.Start(t.creditBase).Text("01").Text("50").Money(purchaseBase_).Empty().Money(purchaseBase_)
          .Money(purchaseBase_).Empty(3).End();
      if (withM110_)
        w_.Start(t.adjust).Text("1").Money(adjust).Text("06").Empty().Text("Cr\xE9" "dito extempor\xE2neo")
            .Text(c_.Date(1)).End();
    }
    const int64_t due = contribution - used;
    w_.Start(t.total);
    if (c_.cumulative)
      w_.Money(0).Money(0).Money(0).Money(0).Money(0).Money(0).Money(0).Money(contribution).Money(0).Money(0)
          .Money(contribution).Money(contribution).End();
    else
      w_.Money(contribution).Money(used).Money(0).Money(due).Money(0).Money(0).Money(due).Money(0).Money(0)
          .Money(0).Money(0).Money(due).End();
    if (due > 0) w_.Start(t.debit).Text(c_.cumulative ? "12" : "08").Text(t.revenueCode).Money(due).End();
    w_.Start(t.contrib).Text(c_.cumulative ? "51" : "01").Money(salesBase_ + zeroRate_).Money(salesBase_).Money(0)
        .Money(0).Money(salesBase_).Text(t.rateText).Empty(2).Money(contribution).Money(0).Money(0).Money(0)
        .Money(0).Money(contribution).End();
    if (zeroRate_ > 0) {
      w_.Start(t.exempt).Text("06").Money(zeroRate_).Text(kAcctRevenue).Empty().End();
      w_.Start(t.exemptItem).Text("105").Money(zeroRate_).Text(kAcctRevenue).Text("Venda de produtos hort\xED" "colas").End();
    }
  }
  w_.CloseBlock();
}

int64_t FileWriter::GroupPart(const CommonBase& base, char group) const {
  if (std::string_view(base.groups).find(group) == std::string_view::npos) return 0;
  int64_t den = 0;
  for (const char* g = base.groups; *g; ++g) den += revenue_[*g - '1'];
  return MulDiv(base.total, revenue_[group - '1'], den);
}

int64_t FileWriter::CommonCredits(const char* credit, const char* creditBase, const char* adjustCode, int rate,
                                  const char* rateText, int64_t adjust, int64_t contribution) {
  int64_t usedTotal = 0;
  for (char group : {'1', '2', '3'}) {
    int64_t base = group == '1' ? purchaseBase_ : 0;
    for (const CommonBase& b : common_) base += GroupPart(b, group);
    const int64_t value = Percent(base, rate);
    const int64_t acres = group == '1' ? adjust : 0;
    const int64_t available = value + acres;
    const int64_t used = group == '1' ? std::min(available, contribution) : 0;
    usedTotal += used;
    w_.Start(credit).Text(std::string(1, group) + "01").Text("0").Money(base).Text(rateText).Empty(2).Money(value)
        .Money(acres).Money(0).Money(0).Money(available).Text(used == available ? "0" : "1").Money(used)
        .Money(available - used).End();
    if (group == '1')
      w_.Start(creditBase).Text("01").Text("50").Money(purchaseBase_).Empty().Money(purchaseBase_)
          .Money(purchaseBase_).Empty(3).End();
    for (const CommonBase& b : common_) {
      if (std::string_view(b.groups).find(group) == std::string_view::npos) continue;
      w_.Start(creditBase).Text(b.nature).Text(b.cst).Money(b.total).Empty().Money(b.total)
          .Money(GroupPart(b, group)).Empty(3).End();
    }
    if (group == '1' && withM110_)
      w_.Start(adjustCode).Text("1").Money(adjust).Text("06").Empty().Text("Cr\xE9" "dito extempor\xE2neo")
          .Text(c_.Date(1)).End();
  }
  return usedTotal;
}

}  // namespace

std::string CompanyPlan::Cnpj(int establishment) const { return MakeCnpj(root, establishment + 1); }

std::string CompanyPlan::Date(int day) const { return Digits(day, 2) + Digits(month, 2) + Digits(year, 4); }

CompanyPlan PlanCompany(const NetworkOptions& options) {
  CompanyPlan c;
  c.seed = options.seed;
  GenRandom r(GenHash(options.seed, 0, 0));
  c.root = static_cast<uint32_t>(r.Range(10000000, 99999999));
  c.month = static_cast<int>(r.Range(1, 12));
  c.year = 2023;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  c.lastDay = kDays[c.month - 1];
  c.cumulative = options.cumulative;
  c.apportionment = r.Chance(34);
  c.commonCredits = options.commonCredits;
  if (c.commonCredits) c.apportionment = true;
  return c;
}

void WriteEfdFile(const CompanyPlan& company, const FilePlan& plan, const std::string& path) {
  FileWriter(company, plan, path).Write();
}
