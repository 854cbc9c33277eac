#include "blocks/blocom_compute.h"

#include <algorithm>
#include <map>

#include "staging/record_catalogue.h"

namespace BlocoM {
namespace {

// The codes of one tax: credit, its base detail, consolidation, debit detail, contribution detail.
struct TaxCodes {
  const char* credit;
  const char* base;
  const char* consolidation;
  const char* debit;
  const char* contribution;
  const char* name;
};

const TaxCodes& Codes(int tax) {
  static const TaxCodes kCodes[2] = {{"M100", "M105", "M200", "M205", "M210", "PIS"},
                                     {"M500", "M505", "M600", "M605", "M610", "COFINS"}};
  return kCodes[tax];
}

// Exact text of a computed amount.
std::string Exact(ExactDecimal v) { return v.Text(ExactDecimal::kPlaces); }

// The revenue groups a common-credit CST spreads over ("12", "13", "23" or
// "123"); empty for any other CST.
std::string_view GroupsOf(std::string_view cst) {
  if (cst == "53" || cst == "63") return "12";
  if (cst == "54" || cst == "64") return "13";
  if (cst == "55" || cst == "65") return "23";
  if (cst == "56" || cst == "66") return "123";
  return {};
}

ExactDecimal RevenueOf(char group, const CompanyFacts& f) {
  return group == '1' ? f.recTribMi : group == '2' ? f.recNtMi : f.recExp;
}

// The family of a credit line: the credit type without its group digit, the
// origin and the rates. The lines of one family share their common-credit bases.
std::string FamilyOf(const MRecord& m) {
  auto num = [&](const char* name) {
    const int k = FieldNo(m.Code(), name);
    return m.At(k).empty() ? std::string() : m.Num(k).Text(ExactDecimal::kPlaces);
  };
  const std::string& cod = m.At(FieldNo(m.Code(), "COD_CRED"));
  return (cod.size() > 1 ? cod.substr(1) : cod) + "|" + m.At(FieldNo(m.Code(), "IND_CRED_ORI")) + "|" +
         num("ALIQ_PIS") + "|" + num("ALIQ_PIS_QUANT");
}

char GroupOf(const MRecord& m) {
  const std::string& cod = m.At(FieldNo(m.Code(), "COD_CRED"));
  return cod.empty() ? '\0' : cod[0];
}

// One file's base of a common-credit CST and nature within one family.
struct FileBase {
  ExactDecimal tot, quantTot;
  bool hasTot = false, hasQuant = false;
};

}  // namespace

std::vector<MRecord*> RecordsOf(std::vector<MRecord>& list, std::string_view code) {
  std::vector<MRecord*> out;
  for (MRecord& r : list)
    if (r.Code() == code) out.push_back(&r);
  return out;
}

std::optional<ExactDecimal> ApportionedBase(ExactDecimal nc, std::string_view cst, char group,
                                            const CompanyFacts& facts, int places) {
  const std::string_view groups = GroupsOf(cst);
  if (groups.find(group) == std::string_view::npos || group == '\0') return std::nullopt;
  ExactDecimal den;
  for (char g : groups) den += RevenueOf(g, facts);
  if (den.IsZero() || den.IsNegative()) return std::nullopt;
  return nc.MulDiv(RevenueOf(group, facts), den, places);
}

void Apportion(std::vector<MRecord>& merged, const std::vector<MRecord>& input, int tax,
               const CompanyFacts& facts, std::vector<std::string>& notices) {
  const TaxCodes& c = Codes(tax);
  const int fNat = FieldNo(c.base, "NAT_BC_CRED"), fCst = FieldNo(c.base, "CST_PIS");
  const int fTot = FieldNo(c.base, "VL_BC_PIS_TOT"), fCum = FieldNo(c.base, "VL_BC_PIS_CUM");
  const int fNc = FieldNo(c.base, "VL_BC_PIS_NC"), fBc = FieldNo(c.base, "VL_BC_PIS");
  const int fQTot = FieldNo(c.base, "QUANT_BC_PIS_TOT"), fQ = FieldNo(c.base, "QUANT_BC_PIS");
  const int fieldCount = static_cast<int>(Layout006().Find(c.base)->fields.size());

  // Each file's base per family, nature and CST, counted once per file.
  std::map<std::string, std::map<std::string, FileBase>> perFile;  // key -> file -> base
  for (const MRecord& m : input) {
    if (m.Code() != c.credit) continue;
    const std::string family = FamilyOf(m);
    for (const MRecord& b : m.children) {
      if (b.Code() != c.base || GroupsOf(b.At(fCst)).empty()) continue;
      FileBase& fb = perFile[family + "|" + b.At(fNat) + "|" + b.At(fCst)][m.file];
      if (!b.At(fTot).empty()) fb.tot = std::max(fb.tot, b.Num(fTot)), fb.hasTot = true;
      if (!b.At(fQTot).empty()) fb.quantTot = std::max(fb.quantTot, b.Num(fQTot)), fb.hasQuant = true;
    }
  }

  // The merged credit lines per family, and the common-credit keys each family has.
  std::vector<std::string> families;
  std::map<std::string, std::vector<MRecord*>> lines;
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> keys;  // family -> (nature, CST)
  for (MRecord* m : RecordsOf(merged, c.credit)) {
    const std::string family = FamilyOf(*m);
    if (!lines.count(family)) families.push_back(family);
    lines[family].push_back(m);
    for (const MRecord& b : m->children) {
      if (b.Code() != c.base || GroupsOf(b.At(fCst)).empty()) continue;
      auto& k = keys[family];
      std::pair<std::string, std::string> key{b.At(fNat), b.At(fCst)};
      if (std::find(k.begin(), k.end(), key) == k.end()) k.push_back(key);
    }
  }

  const ExactDecimal total = facts.recTotal.IsZero()
                                 ? facts.recTribMi + facts.recNtMi + facts.recExp + facts.recCum
                                 : facts.recTotal;
  for (const std::string& family : families) {
    for (const auto& [nature, cst] : keys[family]) {
      // The base total: the files' bases, or what the merged lines say when no file's is known.
      ExactDecimal tot, quantTot;
      bool hasTot = false, hasQuant = false, anyCum = false;
      auto files = perFile.find(family + "|" + nature + "|" + cst);
      if (files != perFile.end())
        for (const auto& [file, fb] : files->second) {
          tot += fb.tot, quantTot += fb.quantTot;
          hasTot = hasTot || fb.hasTot, hasQuant = hasQuant || fb.hasQuant;
        }
      for (MRecord* m : lines[family])
        for (const MRecord& b : m->children)
          if (b.Code() == c.base && b.At(fNat) == nature && b.At(fCst) == cst) anyCum = anyCum || !b.At(fCum).empty();
      ExactDecimal cum;
      if (!facts.recCum.IsZero() && !total.IsZero()) cum = tot.MulDiv(facts.recCum, total, 2);
      const ExactDecimal nc = tot - cum;

      for (char group : GroupsOf(cst)) {
        std::optional<ExactDecimal> part = ApportionedBase(nc, cst, group, facts);
        if (!part) {
          notices.push_back(std::string(c.base) + " " + nature + "/" + cst +
                            ": receitas do 0111 somado nulas para o rateio; valores mantidos como somados");
          break;
        }
        std::optional<ExactDecimal> quantPart = ApportionedBase(quantTot, cst, group, facts, 3);
        MRecord* owner = nullptr;
        for (MRecord* m : lines[family])
          if (GroupOf(*m) == group) owner = owner ? owner : m;
        if (!owner) {
          if (!part->IsZero())
            notices.push_back(std::string(c.base) + " " + nature + "/" + cst + ": parcela " + part->Text(2) +
                              " do tipo de crédito " + std::string(1, group) + family.substr(0, family.find('|')) +
                              " sem registro " + c.credit + " correspondente; não lançada");
          continue;
        }
        MRecord* line = nullptr;
        for (MRecord& b : owner->children)
          if (b.Code() == c.base && b.At(fNat) == nature && b.At(fCst) == cst) line = line ? line : &b;
        if (!line) {
          if (part->IsZero()) continue;
          MRecord added;
          added.f.assign(fieldCount + 1, std::string());
          added.f[1] = c.base, added.f[fNat] = nature, added.f[fCst] = cst;
          owner->children.push_back(std::move(added));
          line = &owner->children.back();
        }
        if (hasTot) {
          line->Set(fTot, tot.Text(2));
          line->Set(fCum, cum.IsZero() && !anyCum ? std::string() : cum.Text(2));
          line->Set(fNc, nc.Text(2));
          line->Set(fBc, part->Text(2));
        }
        if (hasQuant && quantPart) {
          line->Set(fQTot, quantTot.Text(3));
          line->Set(fQ, quantPart->Text(3));
        }
        owner->apportioned = owner->apportioned || hasTot || hasQuant;
      }
    }
  }
}

void RecomputeCredits(std::vector<MRecord>& merged, int tax, std::vector<std::string>& notices) {
  const TaxCodes& c = Codes(tax);
  const int fBase = FieldNo(c.credit, "VL_BC_PIS"), fRate = FieldNo(c.credit, "ALIQ_PIS");
  const int fQuant = FieldNo(c.credit, "QUANT_BC_PIS"), fRateQ = FieldNo(c.credit, "ALIQ_PIS_QUANT");
  const int fCred = FieldNo(c.credit, "VL_CRED"), fAcres = FieldNo(c.credit, "VL_AJUS_ACRES");
  const int fReduc = FieldNo(c.credit, "VL_AJUS_REDUC"), fDif = FieldNo(c.credit, "VL_CRED_DIF");
  const int fDisp = FieldNo(c.credit, "VL_CRED_DISP"), fInd = FieldNo(c.credit, "IND_DESC_CRED");
  const int fDesc = FieldNo(c.credit, "VL_CRED_DESC"), fSld = FieldNo(c.credit, "SLD_CRED");
  const int fBcB = FieldNo(c.base, "VL_BC_PIS"), fQB = FieldNo(c.base, "QUANT_BC_PIS");

  for (MRecord* m : RecordsOf(merged, c.credit)) {
    ExactDecimal base, quant;
    bool hasBase = false, hasQuant = false;
    for (const MRecord& b : m->children) {
      if (b.Code() != c.base) continue;
      if (!b.At(fBcB).empty()) base += b.Num(fBcB), hasBase = true;
      if (!b.At(fQB).empty()) quant += b.Num(fQB), hasQuant = true;
    }
    if (hasBase) m->Set(fBase, Exact(base));
    if (hasQuant) m->Set(fQuant, Exact(quant));
    if (m->apportioned) {
      if (hasQuant && !m->At(fRateQ).empty())
        m->Set(fCred, quant.Times(m->Num(fRateQ), 2).Text(2));
      else if (!m->At(fRate).empty())
        m->Set(fCred, m->Num(fBase).Percent(m->Num(fRate), 2).Text(2));
    }
    const ExactDecimal disp = m->Num(fCred) + m->Num(fAcres) - m->Num(fReduc) - m->Num(fDif);
    m->Set(fDisp, Exact(disp));
    const ExactDecimal available = disp.IsNegative() ? ExactDecimal() : disp;
    ExactDecimal used = m->Num(fDesc);
    if (used > available) {
      notices.push_back(std::string(c.credit) + " " + m->At(2) + ": crédito descontado " + used.Text(2) +
                        " acima do crédito disponível " + available.Text(2) + "; reduzido a " +
                        available.Text(2));
      used = available;
      m->Set(fDesc, Exact(used));
    }
    m->Set(fInd, used == disp ? "0" : "1");
    m->Set(fSld, Exact(disp - used));
  }
}

void RecomputeConsolidation(std::vector<MRecord>& merged, int tax, const CompanyFacts& facts,
                            std::vector<std::string>& notices) {
  const TaxCodes& c = Codes(tax);
  std::vector<MRecord*> heads = RecordsOf(merged, c.consolidation);
  if (heads.empty()) return;
  MRecord& m = *heads.front();
  const char* cons = c.consolidation;
  auto F = [&](const char* name) { return FieldNo(cons, name); };

  // Fields 02 and 09 from the contribution details, when they carry VL_CONT_PER.
  const int fCod = FieldNo(c.contribution, "COD_CONT"), fPer = FieldNo(c.contribution, "VL_CONT_PER");
  const bool cumulativeOnly = facts.codIncTrib == "2";
  ExactDecimal nonCumulative, cumulative;
  bool anyPer = false;
  for (const MRecord& d : m.children) {
    if (d.Code() != c.contribution) continue;
    const std::string& cod = d.At(fCod);
    anyPer = anyPer || !d.At(fPer).empty();
    const bool nc = cod == "01" || cod == "02" || cod == "03" || cod == "04" || cod == "71" ||
                    (cod == "32" && !cumulativeOnly);
    const bool cum = cod == "31" || cod == "51" || cod == "52" || cod == "53" || cod == "54" || cod == "72" ||
                     (cod == "32" && cumulativeOnly);
    if (nc) nonCumulative += d.Num(fPer);
    if (cum) cumulative += d.Num(fPer);
  }
  if (anyPer) {
    m.Set(F("VL_TOT_CONT_NC_PER"), Exact(nonCumulative));
    m.Set(F("VL_TOT_CONT_CUM_PER"), Exact(cumulative));
  }
  ExactDecimal used;
  const int fDesc = FieldNo(c.credit, "VL_CRED_DESC");
  for (MRecord* cr : RecordsOf(merged, c.credit)) used += cr->Num(fDesc);
  m.Set(F("VL_TOT_CRED_DESC"), Exact(used));
  if (facts.creditUsedBefore[tax]) m.Set(F("VL_TOT_CRED_DESC_ANT"), Exact(*facts.creditUsedBefore[tax]));
  const ExactDecimal due = m.Num(F("VL_TOT_CONT_NC_PER")) - used - m.Num(F("VL_TOT_CRED_DESC_ANT"));
  m.Set(F("VL_TOT_CONT_NC_DEV"), Exact(due));
  const ExactDecimal ncRec = due - m.Num(F("VL_RET_NC")) - m.Num(F("VL_OUT_DED_NC"));
  m.Set(F("VL_CONT_NC_REC"), Exact(ncRec));
  const ExactDecimal cumRec = m.Num(F("VL_TOT_CONT_CUM_PER")) - m.Num(F("VL_RET_CUM")) - m.Num(F("VL_OUT_DED_CUM"));
  m.Set(F("VL_CONT_CUM_REC"), Exact(cumRec));
  m.Set(F("VL_TOT_CONT_REC"), Exact(ncRec + cumRec));
  if (due.IsNegative())
    notices.push_back(std::string(cons) + ": créditos descontados acima da contribuição não cumulativa do período");

  // The debit details add up to fields 08 and 12.
  const int fNum = FieldNo(c.debit, "NUM_CAMPO"), fDeb = FieldNo(c.debit, "VL_DEBITO");
  for (const auto& [num, value] : {std::pair<int, ExactDecimal>{8, ncRec}, {12, cumRec}}) {
    std::vector<MRecord*> debits;
    ExactDecimal sum;
    for (MRecord& d : m.children) {
      if (d.Code() != c.debit) continue;
      const std::optional<ExactDecimal> n = ExactDecimal::Parse(d.At(fNum));
      if (!n || !(*n == ExactDecimal::FromInt(num))) continue;
      debits.push_back(&d);
      sum += d.Num(fDeb);
    }
    if (debits.empty() || sum == value) continue;
    MRecord* largest = debits.front();
    for (MRecord* d : debits)
      if (d->Num(fDeb) > largest->Num(fDeb)) largest = d;
    const ExactDecimal adjusted = largest->Num(fDeb) + (value - sum);
    if (adjusted.IsNegative()) {
      notices.push_back(std::string(c.debit) + ": os débitos do campo " + std::to_string(num) + " somam " +
                        sum.Text(2) + ", diferente de " + value.Text(2) + " em " + cons);
      continue;
    }
    notices.push_back(std::string(c.debit) + " " + largest->At(FieldNo(c.debit, "COD_REC")) + ": débito ajustado de " +
                      largest->Num(fDeb).Text(2) + " para " + adjusted.Text(2) + " para somar o campo " +
                      std::to_string(num) + " de " + cons);
    largest->Set(fDeb, Exact(adjusted));
  }
}

void RecomputeExemptRevenue(std::vector<MRecord>& merged, int tax, std::vector<std::string>& notices) {
  const char* parent = tax ? "M800" : "M400";
  const char* detail = tax ? "M810" : "M410";
  const int fTotal = FieldNo(parent, "VL_TOT_REC"), fRec = FieldNo(detail, "VL_REC");
  for (MRecord* m : RecordsOf(merged, parent)) {
    ExactDecimal sum;
    bool any = false;
    for (const MRecord& d : m->children)
      if (d.Code() == detail) sum += d.Num(fRec), any = true;
    if (!any || sum == m->Num(fTotal)) continue;
    notices.push_back(std::string(parent) + " " + m->At(2) + ": receita total " + m->Num(fTotal).Text(2) +
                      " substituída pela soma dos " + detail + ", " + sum.Text(2));
    m->Set(fTotal, Exact(sum));
  }
}

}  // namespace BlocoM
