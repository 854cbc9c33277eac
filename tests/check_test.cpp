// quelvar check: each rule rejects a hand-made faulty file and accepts the
// corrected one; line endings and large files; the command's exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "checker/efd_check.h"
#include "checker/line_reader.h"
#include "checker/size_rules.h"
#include "staging/record_catalogue.h"
#include "staging/text.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"
#include "tools/efdgen/network.h"

namespace {

using Lines = std::vector<std::string>;

// A small valid file: two establishments, every required block, I and P absent.
Lines Valid() {
  return WithBlock9({
      "|0000|006|0|||01012023|31012023|IND\xDA" "STRIA D'\xC1VILA Ltda|11222333000181|SP|3550308||00|1|",
      "|0001|0|",
      "|0110|1|1|1||",
      "|0140|1|Matriz|11222333000181|SP|1234|3550308|||",
      "|0140|2|Filial S\xE3o Paulo|11222333000262|SP|5678|3550308|||",
      "|0150|P1|Fornecedor|01058|11222333000343|||3550308||Rua|1||Centro|",
      "|0190|UN|Unidade|",
      "|0200|IT1|Caf\xE9|||UN|00|09012100||||18,00|",
      "|0205|Caf\xE9 antigo|01012020|31122022||",
      "|0205|Caf\xE9 velho|01012019|31122019||",
      "|0990|11|",
      "|A001|1|",
      "|A990|2|",
      "|C001|0|",
      "|C010|11222333000181|2|",
      "|C010|11222333000262|2|",
      "|C990|4|",
      "|D001|0|",
      "|D010|11222333000262|",
      "|D990|3|",
      "|F001|1|",
      "|F990|2|",
      "|M001|1|",
      "|M990|2|",
      "|1001|1|",
      "|1990|2|",
  });
}

// A line of `code` with the named fields set and every other field of its
// layout 006 form empty.
std::string Rec(const std::string& code, const std::map<std::string, std::string>& values) {
  const CatalogueRecord* r = Layout006().Find(code);
  EXPECT_NE(r, nullptr) << code;
  std::string line = "|" + code + "|";
  size_t used = 0;
  for (size_t i = 1; r && i < r->fields.size(); ++i) {
    auto it = values.find(r->fields[i].name);
    if (it != values.end()) line += it->second, ++used;
    line += "|";
  }
  EXPECT_EQ(used, values.size()) << "a field name not in " << code;
  return line;
}

// `body` (0000 up to the last closer before Block 9) with every opener's
// Ind_Mov, every closer's count and Block 9 made true.
Lines Renumbered(Lines body) {
  for (size_t i = 0; i < body.size();) {
    if (body[i].compare(2, 3, "001") != 0) {
      ++i;
      continue;
    }
    const char letter = body[i][1];
    size_t end = i + 1;
    while (end < body.size() && body[end][1] == letter && body[end].compare(2, 3, "990") != 0) ++end;
    const size_t first = letter == '0' ? i - 1 : i;  // Block 0 counts 0000
    body[i] = std::string("|") + letter + "001|" + (end - i > 1 ? "0" : "1") + "|";
    if (end < body.size()) body[end] = std::string("|") + letter + "990|" + std::to_string(end - first + 1) + "|";
    i = end + 1;
  }
  return WithBlock9(body);
}

// A valid file of two establishments whose documents refer to every kind of
// code: participant, item, unit, nature of operation, note, account, cost
// centre. The second establishment's tables differ from the first's.
Lines Referencing() {
  return Renumbered({
      "|0000|006|0|||01012023|31012023|EMPRESA|11222333000181|SP|3550308||00|1|",
      "|0001|0|",
      "|0110|1|1|1||",
      "|0140|1|Matriz|11222333000181|SP|1234|3550308|||",
      "|0145|1|100,00|100,00|0,00||",
      "|0150|P0|Cliente|01058|11222333000343|||3550308||Rua|1||Centro|",
      "|0190|KG|Quilograma|",
      "|0200|IT0|A\xE7\xFA" "car|||KG|00|17019900||||18,00|",
      "|0140|2|Filial|11222333000262|SP|5678|3550308|||",
      "|0150|P1|Fornecedor|01058|11222333000424|||3550308||Rua|1||Centro|",
      "|0190|UN|Unidade|",
      "|0200|IT1|Caf\xE9|||UN|00|09012100||||18,00|",
      "|0400|N1|Venda|",
      "|0450|000001|Nota de conting\xEAncia|",
      "|0500|01012020|04|A|5|3.01|Receita|||",
      "|0600|01012020|CC1|Loja|",
      "|0990|0|",
      "|A001|1|",
      "|A990|0|",
      "|C001|0|",
      "|C010|11222333000181|2|",
      "|C010|11222333000262|2|",
      Rec("C100", {{"IND_OPER", "1"}, {"IND_EMIT", "0"}, {"COD_PART", "P1"}, {"COD_MOD", "55"}, {"COD_SIT", "00"},
                   {"NUM_DOC", "1"}, {"DT_DOC", "02012023"}, {"VL_DOC", "10,00"}}),
      Rec("C110", {{"COD_INF", "000001"}}),
      Rec("C170", {{"NUM_ITEM", "1"}, {"COD_ITEM", "IT1"}, {"QTD", "1"}, {"UNID", "UN"}, {"VL_ITEM", "10,00"},
                   {"CFOP", "5102"}, {"COD_NAT", "N1"}, {"CST_PIS", "01"}, {"CST_COFINS", "01"}, {"COD_CTA", "3.01"}}),
      "|C990|0|",
      "|D001|1|",
      "|D990|0|",
      "|F001|0|",
      "|F010|11222333000262|",
      Rec("F120", {{"NAT_BC_CRED", "09"}, {"IND_ORIG_CRED", "0"}, {"VL_OPER_DEP", "5,00"}, {"CST_PIS", "50"},
                   {"CST_COFINS", "50"}, {"COD_CTA", "3.01"}, {"COD_CCUS", "CC1"}}),
      "|F990|0|",
      "|M001|1|",
      "|M990|0|",
      "|1001|1|",
      "|1990|0|",
  });
}

std::string Join(const Lines& lines, const char* ending = "\r\n") {
  std::string s;
  for (const std::string& l : lines) s += l + ending;
  return s;
}

CheckReport Check(const Lines& lines) { return CheckEfdText(Join(lines)); }

// Index of the first line whose text starts with `prefix`.
size_t Find(const Lines& lines, const std::string& prefix) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind(prefix, 0) == 0) return i;
  ADD_FAILURE() << "no line starts with " << prefix;
  return 0;
}

std::string Listing(const CheckReport& r) {
  std::string s;
  for (const CheckProblem& p : r.problems)
    s += std::to_string(p.line) + " " + p.code + ": " + (p.warning ? "(warning) " : "") + p.message + "\n";
  return s;
}

// The report has an error at `line` about `code` whose message holds `text`.
::testing::AssertionResult HasError(const CheckReport& r, int64_t line, const std::string& code,
                                    const std::string& text) {
  for (const CheckProblem& p : r.problems)
    if (!p.warning && p.line == line && p.code == code && p.message.find(text) != std::string::npos)
      return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no error at line " << line << " " << code << " with \"" << text
                                       << "\" in:\n" << Listing(r);
}

// `file` with its first line starting with `at` replaced by `line`: the check
// reports an error at that line, under the new line's record, whose message
// holds `text`.
::testing::AssertionResult ErrorWhenReplaced(const std::string& at, const std::string& line, const std::string& text,
                                             Lines file = Valid()) {
  const size_t i = Find(file, at);
  file[i] = line;
  return HasError(Check(file), static_cast<int64_t>(i + 1), line.substr(1, 4), text);
}

::testing::AssertionResult IsValid(const CheckReport& r) {
  if (r.Valid() && r.warnings == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Listing(r);
}

}  // namespace

TEST(Check, AcceptsAValidFileWithAnyLineEnding) {
  const Lines file = Valid();
  for (const char* ending : {"\r\n", "\n", "\r"}) {
    CheckReport r = CheckEfdText(Join(file, ending));
    EXPECT_TRUE(IsValid(r));
    EXPECT_EQ(r.lines, static_cast<int64_t>(file.size()));
  }
  // No ending after the last line is no extra line either.
  std::string text = Join(file);
  text.resize(text.size() - 2);
  EXPECT_TRUE(IsValid(CheckEfdText(text)));
  CheckReport r = Check(file);
  ASSERT_EQ(r.blocks.size(), 8u);
  EXPECT_EQ(r.blocks[0].letter, '0');
  EXPECT_EQ(r.blocks[0].lines, 11);
  EXPECT_EQ(r.blocks[0].declared, 11);
  EXPECT_EQ(r.blocks[2].letter, 'C');
  EXPECT_EQ(r.blocks[2].firstLine, 14);
}

TEST(Check, LineShape) {
  EXPECT_TRUE(ErrorWhenReplaced("|C010|11222333000262", "|C010|11222333000262|2", "não começa e termina"));

  Lines bad = Valid();
  size_t closer = Find(bad, "|C990|");
  bad[closer].pop_back();  // still the closer: one finding, not a block without closer
  CheckReport oneFault = Check(bad);
  EXPECT_TRUE(HasError(oneFault, closer + 1, "C990", "não começa e termina"));
  EXPECT_EQ(oneFault.errors, 1) << Listing(oneFault);

  bad = Valid();
  const size_t i = Find(bad, "|C010|11222333000262");
  bad[i] = bad[i].substr(1);  // no opening bar: no code can be read
  EXPECT_TRUE(HasError(Check(bad), i + 1, "", "não começa e termina"));
  EXPECT_TRUE(ErrorWhenReplaced("|C010|11222333000262", "|c010|11222333000262|2|",  // codes are capitals
                                "não é um código de registro"));
}

// Before, an empty line (as an editor leaves after 9999) made every count
// wrong and the line itself malformed. Lines without a record are now one
// finding naming them, the counts are those of the lines with records, and
// every other finding keeps the file's own line numbers.
TEST(Check, LinesWithoutARecord) {
  const Lines good = Valid();
  const size_t last = good.size();  // the 9999's line number
  struct Case {
    const char* what;
    std::vector<std::pair<size_t, std::string>> inserted;  // before index, text
    std::string names;  // the lines named in the finding
  } cases[] = {
      {"an empty line after 9999", {{last, ""}}, "(linha " + std::to_string(last + 1) + ")"},
      {"an empty line inside Block 0", {{3, ""}}, "(linha 4)"},
      {"blanks and a tab", {{13, "  \t "}}, "(linha 14)"},
      {"two, inside and at the end", {{3, ""}, {last + 1, ""}}, "(linhas 4, " + std::to_string(last + 2) + ")"},
  };
  for (const Case& c : cases) {
    Lines file = good;
    for (const auto& [at, text] : c.inserted) file.insert(file.begin() + at, text);
    CheckReport r = Check(file);
    EXPECT_EQ(r.errors, 1) << c.what << "\n" << Listing(r);
    ASSERT_FALSE(r.problems.empty()) << c.what;
    EXPECT_EQ(r.problems[0].line, static_cast<int64_t>(c.inserted[0].first + 1)) << c.what;
    EXPECT_NE(r.problems[0].message.find("em branco " + c.names), std::string::npos) << r.problems[0].message;
    EXPECT_NE(r.problems[0].message.find("PVA"), std::string::npos);
    EXPECT_EQ(r.lines, static_cast<int64_t>(good.size())) << c.what;
    EXPECT_EQ(r.blankLines, static_cast<int64_t>(c.inserted.size())) << c.what;
  }
  // The other findings name the file's own lines: a wrong C990 after a blank line.
  Lines bad = good;
  const size_t closer = Find(bad, "|C990|");
  bad[closer] = "|C990|5|";
  bad.insert(bad.begin() + 3, "");
  EXPECT_TRUE(HasError(Check(bad), closer + 2, "C990", "C990 informa 5 linhas"));
  // A 9999 that counted the blank line is told what was counted.
  bad = good;
  bad.insert(bad.begin() + 3, "");
  bad.back() = "|9999|" + std::to_string(bad.size()) + "|";
  EXPECT_TRUE(HasError(Check(bad), bad.size(), "9999", "o arquivo tem " + std::to_string(good.size()) +
                                                           " sem contar 1 linha em branco"));
  // Only blank lines: no record at all.
  CheckReport blank = CheckEfdText("\r\n  \r\n");
  EXPECT_FALSE(blank.Valid());
  EXPECT_TRUE(HasError(blank, 0, "", "não tem nenhum registro"));
}

// EFD files are ISO-8859-1. A file whose bytes above 0x7F all form UTF-8
// sequences is reported once, where the first sequence is; NUL bytes on each
// line that has one. A file in ISO-8859-1 is never taken for UTF-8, even with
// a pair of bytes that happens to be a UTF-8 sequence.
TEST(Check, TextEncoding) {
  // The lines as an editor that converts ISO-8859-1 to UTF-8 writes them.
  auto utf8 = [](Lines lines) {
    for (std::string& l : lines) {
      std::string out;
      for (char ch : l) {
        const unsigned char b = static_cast<unsigned char>(ch);
        if (b < 0x80) out += ch;
        else out += {static_cast<char>(0xC0 | (b >> 6)), static_cast<char>(0x80 | (b & 0x3F))};
      }
      l = out;
    }
    return lines;
  };
  const Lines latin1 = Valid();
  const size_t item = Find(latin1, "|0200|IT1|");
  struct Case {
    const char* what;
    Lines file;
    int64_t errors;
    int64_t line;         // of the first error
    std::string message;  // part of it
  } cases[] = {
      {"ISO-8859-1", latin1, 0, 0, ""},
      {"ISO-8859-1 with one pair of bytes that UTF-8 reads as \"ç\"",
       [&] {
         Lines f = latin1;
         f[item].replace(f[item].find("Caf\xE9"), 4, "Ca\xC3\xA7");
         return f;
       }(),
       0, 0, ""},
      {"UTF-8", utf8(latin1), 1, 1,
       "o arquivo parece estar em UTF-8 (\"\xC3\x83\xC2\x9A\" nesta linha é \"\xC3\x9A\" em UTF-8); o leiaute "
       "exige ISO-8859-1 (Latin-1)"},
      {"UTF-8 of three bytes only",
       [&] {
         Lines f;
         for (const std::string& l : latin1) {
           std::string plain;
           for (char ch : l) plain += static_cast<unsigned char>(ch) < 0x80 ? ch : 'A';
           f.push_back(plain);
         }
         f[item].replace(f[item].find("CafA"), 4, "Caf\xE2\x80\x94");
         return f;
       }(),
       1, static_cast<int64_t>(item + 1), "o arquivo parece estar em UTF-8"},
      {"a NUL byte",
       [&] {
         Lines f = latin1;
         f[item][f[item].find("Caf")] = '\0';
         return f;
       }(),
       1, static_cast<int64_t>(item + 1), "a linha tem um byte nulo (NUL)"},
  };
  for (const Case& c : cases) {
    CheckReport r = Check(c.file);
    EXPECT_EQ(r.errors, c.errors) << c.what << "\n" << Listing(r);
    if (c.errors == 0) continue;
    EXPECT_TRUE(HasError(r, c.line, c.file[c.line - 1].substr(1, 4), c.message)) << c.what;
  }
}

TEST(Check, BlockOrderAndMissingBlocks) {
  // D before C: the C lines come after block D.
  Lines swapped = Valid();
  size_t c = Find(swapped, "|C001|"), d = Find(swapped, "|D001|"), f = Find(swapped, "|F001|");
  std::rotate(swapped.begin() + c, swapped.begin() + d, swapped.begin() + f);
  CheckReport r = Check(swapped);
  EXPECT_TRUE(HasError(r, c + 3 + 1, "C001", "o bloco C vem depois do bloco D"));
  EXPECT_EQ(Listing(r).find("falta"), std::string::npos) << "C is out of place, not missing";

  // A block that starts again.
  Lines again = Valid();
  again.insert(again.begin() + Find(again, "|F001|"), "|C500|x|06|00|1||1|01012023|01012023|1,00|0,00||0,00|0,00||");
  EXPECT_TRUE(HasError(Check(again), Find(again, "|C500|") + 1, "C500", "o bloco C recomeça"));

  // Block M missing; a block letter that does not exist.
  Lines noM = Valid();
  size_t m = Find(noM, "|M001|");
  noM.erase(noM.begin() + m, noM.begin() + m + 2);
  noM = WithBlock9(Lines(noM.begin(), noM.begin() + Find(noM, "|9001|")));
  EXPECT_TRUE(HasError(Check(noM), m + 1, "M001", "falta o bloco M"));

  Lines unknown = Valid();
  unknown.insert(unknown.begin() + Find(unknown, "|F001|"), "|E001|1|");
  EXPECT_TRUE(HasError(Check(unknown), Find(unknown, "|E001|") + 1, "E001", "não existe bloco E"));

  // I and P may be there, in their places.
  Lines withIP = Valid();
  withIP.insert(withIP.begin() + Find(withIP, "|M001|"), {"|I001|1|", "|I990|2|"});
  withIP.insert(withIP.begin() + Find(withIP, "|1001|"), {"|P001|1|", "|P990|2|"});
  withIP = WithBlock9(Lines(withIP.begin(), withIP.begin() + Find(withIP, "|9001|")));
  EXPECT_TRUE(IsValid(Check(withIP)));
}

TEST(Check, ClosersAndOpeners) {
  EXPECT_TRUE(ErrorWhenReplaced("|C990|", "|C990|5|", "C990 informa 5 linhas (QTD_LIN_C), o bloco C tem 4"));
  EXPECT_TRUE(ErrorWhenReplaced("|C990|", "|C990|four|", "não é um número"));
  // Ind_Mov against the content of the block, both ways.
  EXPECT_TRUE(ErrorWhenReplaced("|C001|", "|C001|1|", "IND_MOV é \"1\""));
  EXPECT_TRUE(ErrorWhenReplaced("|F001|", "|F001|0|", "IND_MOV é \"0\""));

  // A block without its opener, a line after a closer.
  Lines bad = Valid();
  size_t i = Find(bad, "|D001|");
  bad.erase(bad.begin() + i);
  bad = WithBlock9(Lines(bad.begin(), bad.begin() + Find(bad, "|9001|")));
  bad[Find(bad, "|D990|")] = "|D990|2|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "D010", "não começa pelo seu registro de abertura D001"));
  bad = Valid();
  i = Find(bad, "|A990|");
  std::swap(bad[i - 1], bad[i]);
  CheckReport r = Check(bad);
  EXPECT_TRUE(HasError(r, i + 1, "A001", "linha depois do encerramento"));
  // A block without its closer is reported on its last line, by that line's code.
  bad = Valid();
  i = Find(bad, "|D990|");
  bad.erase(bad.begin() + i);
  EXPECT_TRUE(HasError(Check(bad), i, "D010", "o bloco D termina sem o seu registro de encerramento D990"));
}

TEST(Check, Block9Counts) {
  const Lines good = Valid();
  // A wrong count, a missing 9900, a 9900 for a code the file does not hold.
  EXPECT_TRUE(ErrorWhenReplaced("|9900|0140|", "|9900|0140|3|",
                                "9900 informa 3 linhas do registro 0140 (QTD_REG_BLC), o arquivo tem 2"));

  Lines bad = good;
  size_t i = Find(bad, "|9900|0140|");
  bad[i] = "|9900|C100|2|";
  CheckReport r = Check(bad);
  EXPECT_TRUE(HasError(r, i + 1, "9900", "registro 9900 para o C100, que o arquivo não tem"));
  EXPECT_TRUE(HasError(r, Find(bad, "|0140|") + 1, "0140", "não há registro 9900 para o 0140 (2 linhas)"));

  bad = good;
  bad[i] = "|9900|0200|1|";  // before the real 9900 of 0200, which becomes the second
  EXPECT_TRUE(HasError(Check(bad), Find(good, "|9900|0200|") + 1, "9900", "segundo registro 9900 para o 0200"));

  // The 9900 lines of Block 9's own codes count their own lines.
  EXPECT_TRUE(ErrorWhenReplaced("|9900|9900|", "|9900|9900|1|", "9900 informa 1 linha do registro 9900"));

  // 9990 and 9999 against the real numbers.
  EXPECT_TRUE(ErrorWhenReplaced("|9990|", "|9990|3|", "9990 informa 3 linhas (QTD_LIN_9), o bloco 9 tem"));
  bad = good;
  i = bad.size() - 1;
  bad[i] = "|9999|" + std::to_string(good.size() - 1) + "|";
  EXPECT_TRUE(HasError(Check(bad), i + 1, "9999", "o arquivo tem " + std::to_string(good.size())));
}

TEST(Check, FirstAndLastLine) {
  Lines bad = Valid();
  std::swap(bad[0], bad[1]);
  EXPECT_TRUE(HasError(Check(bad), 1, "0001", "primeira linha não é o registro 0000"));
  bad = Valid();
  bad.pop_back();
  EXPECT_TRUE(HasError(Check(bad), bad.size(), "9990", "última linha não é o registro 9999"));
  CheckReport empty = CheckEfdText("");
  EXPECT_FALSE(empty.Valid());
}

TEST(Check, FieldCountsAndTheTwoOlderForms) {
  EXPECT_TRUE(ErrorWhenReplaced("|C010|11222333000181", "|C010|11222333000181|2||",
                                "4 campos; o registro C010 tem 3 no leiaute 006"));

  // 0110 with four fields and C500 with fourteen: warnings, the file stays valid.
  Lines old = Valid();
  old[Find(old, "|0110|")] = "|0110|1|1|1|";
  old.insert(old.begin() + Find(old, "|C990|"), "|C500|P1|06|00|1||1|01012023|01012023|1,00|0,00||0,00|0,00|");
  old[Find(old, "|C990|")] = "|C990|5|";
  old = WithBlock9(Lines(old.begin(), old.begin() + Find(old, "|9001|")));
  CheckReport r = Check(old);
  EXPECT_TRUE(r.Valid()) << Listing(r);
  EXPECT_EQ(r.warnings, 2);
  // Other short forms are errors.
  old[Find(old, "|0110|")] = "|0110|1|1|";
  EXPECT_TRUE(HasError(Check(old), Find(old, "|0110|") + 1, "0110", "3 campos"));
}

TEST(Check, ItemChangesFollowTheirItem) {
  Lines bad = Valid();
  size_t i = Find(bad, "|0205|");
  std::swap(bad[i - 1], bad[i]);  // 0205 before its 0200
  EXPECT_TRUE(HasError(Check(bad), i, "0205", "0205 não está abaixo de um 0200"));
}

TEST(Check, EstablishmentCnpjMustBeAn0140) {
  EXPECT_TRUE(ErrorWhenReplaced("|C010|11222333000262", "|C010|11222333000343|2|",
                                "\"11222333000343\" não é o CNPJ de nenhum registro 0140"));
  EXPECT_TRUE(ErrorWhenReplaced("|D010|", "|D010|99999999000191|", "não é o CNPJ de nenhum registro 0140"));
}

TEST(CheckCatalogue, EveryCodeKnownWithItsFieldCount) {
  ASSERT_TRUE(IsValid(Check(Referencing())));
  // Records the program has no staging table for are counted from the
  // catalogue too: 0400 with a field too many.
  EXPECT_TRUE(ErrorWhenReplaced("|0400|", "|0400|N1|Venda||", "4 campos; o registro 0400 tem 3 no leiaute 006",
                                Referencing()));
  // A code that is no record of the layout: one finding with its count.
  Lines bad = Referencing();
  const size_t i = Find(bad, "|C990|");
  bad.insert(bad.begin() + i, {"|C999|1|", "|C999|2|"});
  bad = Renumbered(Lines(bad.begin(), bad.begin() + Find(bad, "|9001|")));
  CheckReport r = Check(bad);
  EXPECT_TRUE(HasError(r, i + 1, "C999", "C999 não é um registro do leiaute 006 (2 linhas)"));
  EXPECT_EQ(r.errors, 1) << Listing(r);
  // Like a field count, a code outside the layout is the layout's finding:
  // an input carrying one is imported, its lines reported and not written.
  EXPECT_EQ(r.fieldCountErrors, 1);
}

TEST(CheckCatalogue, RecordsStandUnderTheirParent) {
  // C170 after a C190 group instead of under its C100; C110 before any C100.
  Lines bad = Referencing();
  size_t i = Find(bad, "|C170|");
  bad.insert(bad.begin() + i, Rec("C190", {{"COD_MOD", "55"}, {"COD_ITEM", "IT1"}}));
  bad = Renumbered(Lines(bad.begin(), bad.begin() + Find(bad, "|9001|")));
  EXPECT_TRUE(HasError(Check(bad), i + 2, "C170", "C170 não está abaixo de um C100"));
  Lines good = bad;
  std::swap(good[i], good[i + 1]);  // the C190 after the C100 group
  EXPECT_TRUE(IsValid(Check(good)));

  bad = Referencing();
  i = Find(bad, "|C100|");
  std::swap(bad[i], bad[i + 1]);
  EXPECT_TRUE(HasError(Check(bad), i + 1, "C110", "C110 não está abaixo de um C100"));

  // Block 0: an item change under a unit, a participant before any 0140.
  bad = Referencing();
  bad.insert(bad.begin() + Find(bad, "|0200|IT1|"), "|0205|Caf\xE9 antigo|01012020|31122022||");
  bad = Renumbered(Lines(bad.begin(), bad.begin() + Find(bad, "|9001|")));
  EXPECT_TRUE(HasError(Check(bad), Find(bad, "|0205|") + 1, "0205", "0205 não está abaixo de um 0200"));
  bad = Referencing();
  std::swap(bad[Find(bad, "|0140|1|")], bad[Find(bad, "|0140|1|") + 1]);
  EXPECT_TRUE(HasError(Check(bad), Find(bad, "|0145|") + 1, "0145", "0145 não está abaixo de um 0140"));
}

TEST(CheckCatalogue, AtMostOneWhereTheLayoutSaysSo) {
  // 0145 is 1:1 under its 0140: a second one under the same 0140 is
  // reported, one under each 0140 is fine.
  Lines bad = Referencing();
  size_t i = Find(bad, "|0145|");
  bad.insert(bad.begin() + i + 1, bad[i]);
  bad = Renumbered(Lines(bad.begin(), bad.begin() + Find(bad, "|9001|")));
  EXPECT_TRUE(HasError(Check(bad), i + 2, "0145",
                       "segundo 0145 abaixo do 0140 da linha 4 (no máximo um; o primeiro está na linha 5)"));
  Lines good = Referencing();
  good.insert(good.begin() + Find(good, "|0140|2|") + 1, good[i]);
  good = Renumbered(Lines(good.begin(), good.begin() + Find(good, "|9001|")));
  EXPECT_TRUE(IsValid(Check(good)));
  // 0110 is once per file (under 0001).
  bad = Referencing();
  i = Find(bad, "|0110|");
  bad.insert(bad.begin() + i, bad[i]);
  bad = Renumbered(Lines(bad.begin(), bad.begin() + Find(bad, "|9001|")));
  EXPECT_TRUE(HasError(Check(bad), i + 2, "0110", "segundo 0110 abaixo do 0001"));
}

TEST(CheckCatalogue, CodesReferToTheTablesOfTheirOwnEstablishment) {
  const Lines good = Referencing();
  // Each definition removed in turn leaves its references unresolved.
  struct Case {
    const char* definition;  // the line removed
    const char* referrer;    // the line that refers to it
    const char* message;
  };
  for (const Case& c : {Case{"|0150|P1|", "|C100|", "COD_PART \"P1\" não está em nenhum 0150 do estabelecimento 11222333000262"},
                        Case{"|0200|IT1|", "|C170|", "COD_ITEM \"IT1\" não está em nenhum 0200 do estabelecimento"},
                        Case{"|0190|UN|", "|C170|", "UNID \"UN\" não está em nenhum 0190 do estabelecimento"},
                        Case{"|0190|UN|", "|0200|IT1|", "UNID_INV \"UN\" não está em nenhum 0190"},
                        Case{"|0400|", "|C170|", "COD_NAT \"N1\" não está em nenhum 0400 do estabelecimento"},
                        Case{"|0450|", "|C110|", "COD_INF \"000001\" não está em nenhum 0450 do estabelecimento"},
                        Case{"|0500|", "|C170|", "COD_CTA \"3.01\" não está em nenhum 0500 do arquivo"},
                        Case{"|0500|", "|F120|", "COD_CTA \"3.01\" não está em nenhum 0500"},
                        Case{"|0600|", "|F120|", "COD_CCUS \"CC1\" não está em nenhum 0600 do arquivo"}}) {
    Lines bad = good;
    bad.erase(bad.begin() + Find(bad, c.definition));
    bad = Renumbered(Lines(bad.begin(), bad.begin() + Find(bad, "|9001|")));
    EXPECT_TRUE(HasError(Check(bad), Find(bad, c.referrer) + 1, std::string(c.referrer).substr(1, 4), c.message))
        << c.definition;
  }
  // The participant, item and unit of the first establishment do not serve
  // the second: the same document under the first C010 is reported.
  Lines other = good;
  size_t c100 = Find(other, "|C100|");
  std::rotate(other.begin() + Find(other, "|C010|11222333000262"), other.begin() + c100,
              other.begin() + c100 + 3);
  CheckReport r = Check(other);
  const int64_t at = static_cast<int64_t>(Find(other, "|C100|") + 1);
  EXPECT_TRUE(HasError(r, at, "C100", "COD_PART \"P1\" não está em nenhum 0150 do estabelecimento 11222333000181"));
  EXPECT_TRUE(HasError(r, at + 2, "C170", "COD_ITEM \"IT1\" não está em nenhum 0200 do estabelecimento 11222333000181"));
  // With the codes of the first establishment, it is valid there.
  for (std::string& l : other) {
    if (l.rfind("|C100|", 0) == 0) l.replace(l.find("|P1|"), 4, "|P0|");
    if (l.rfind("|C170|", 0) == 0) {
      l.replace(l.find("|IT1|"), 5, "|IT0|");
      l.replace(l.find("|UN|"), 4, "|KG|");
    }
  }
  other.insert(other.begin() + Find(other, "|0200|IT0|") + 1, {"|0400|N1|Venda|", "|0450|000001|Nota|"});
  other = Renumbered(Lines(other.begin(), other.begin() + Find(other, "|9001|")));
  EXPECT_TRUE(IsValid(Check(other)));
}

TEST(CheckCatalogue, Each0140CnpjOnce) {
  EXPECT_TRUE(ErrorWhenReplaced("|0140|2|", "|0140|2|Filial|11222333000181|SP|5678|3550308|||",
                                "o CNPJ \"11222333000181\" já tem o 0140 da linha 4", Referencing()));
  EXPECT_TRUE(IsValid(Check(Referencing())));
}

// A field whose size the layout marks '*' holds exactly that many characters
// when it holds any; before, a CST "1" for "01" passed the check and the tax
// authority's validator refused the file. A number too long for such a field
// is told once, with the exact size.
TEST(CheckCatalogue, FieldsOfFixedSizeHoldExactlyTheirSize) {
  struct Case {
    const char* line;   // the first line starting with this is edited
    const char* field;  // by its layout name
    std::string value;
    std::string error;  // the whole message; empty when the file stays valid
  };
  const std::vector<Case> cases = {
      {"|C170|", "CST_PIS", "1", "o campo 25 (CST_PIS) tem 1 caractere, o leiaute exige exatamente 2: \"1\""},
      {"|C170|", "CST_PIS", "011", "o campo 25 (CST_PIS) tem 3 caracteres, o leiaute exige exatamente 2: \"011\""},
      {"|C170|", "CST_PIS", "01", ""},
      {"|C170|", "CST_IPI", "", ""},  // empty: whether it is required is another rule
      {"|C170|", "CST_IPI", "5", "o campo 20 (CST_IPI) tem 1 caractere, o leiaute exige exatamente 2: \"5\""},
      {"|C170|", "CFOP", "51020", "o campo 11 (CFOP) tem 5 caracteres, o leiaute exige exatamente 4: \"51020\""},
      {"|0150|P1|", "CNPJ", "1122233300042",
       "o campo 05 (CNPJ) tem 13 caracteres, o leiaute exige exatamente 14: \"1122233300042\""},
      {"|C100|", "COD_MOD", "5", "o campo 05 (COD_MOD) tem 1 caractere, o leiaute exige exatamente 2: \"5\""},
      {"|0140|2|", "UF", "S\xC3", ""},  // Latin-1: one byte, one character
      {"|0140|2|", "UF", "SPX", "o campo 05 (UF) tem 3 caracteres, o leiaute exige exatamente 2: \"SPX\""},
      {"|0000|", "DT_INI", "1012023", "o campo 06 (DT_INI) tem 7 caracteres, o leiaute exige exatamente 8: \"1012023\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.line) + c.field + "=" + c.value);
    Lines file = Referencing();
    const size_t i = Find(file, c.line);
    const CatalogueRecord* r = Layout006().Find(std::string(c.line).substr(1, 4));
    ASSERT_NE(r, nullptr);
    const CatalogueField* f = r->Field(c.field);
    ASSERT_NE(f, nullptr);
    std::vector<std::string_view> parts = SplitBars(file[i]);
    std::string line = "|";
    for (size_t k = 1; k + 1 < parts.size(); ++k)
      line.append(static_cast<int>(k) == f->number ? std::string_view(c.value) : parts[k]).append("|");
    file[i] = line;
    const CheckReport report = Check(file);
    if (c.error.empty()) {
      EXPECT_TRUE(IsValid(report));
      continue;
    }
    EXPECT_TRUE(HasError(report, static_cast<int64_t>(i) + 1, r->code, c.error));
    EXPECT_EQ(report.errors, 1) << Listing(report);
  }
  // REG, text of fixed size 4, as the rule reads it; a UTF-8 letter is one character.
  const CatalogueField& reg = Layout006().Find("0000")->fields[0];
  EXPECT_EQ(DescribeSizeFault(reg, "000"), "o campo 01 (REG) tem 3 caracteres, o leiaute exige exatamente 4: \"000\"");
  EXPECT_EQ(DescribeSizeFault(reg, "0000"), "");
  EXPECT_EQ(DescribeSizeFault(reg, ""), "");
  EXPECT_EQ(DescribeSizeFault(reg, "\xC3\x81" "BCD"), "");
  // A 13-field M210 of an older layout is read in its current positions.
  Lines body = Referencing();
  body = Lines(body.begin(), body.begin() + Find(body, "|9001|"));
  body.insert(body.begin() + Find(body, "|M990|"), {"|M200|0,17|0,00|0,00|0,17|0,00|0,00|0,17|0,00|0,00|0,00|0,00|0,17|",
                                                   "|M205|08|691201|0,17|",
                                                   "|M210|1|10,00|10,00|1,65|||0,17|0,00|0,00|0,00|0,00|0,17|"});
  Lines older = Renumbered(body);
  older[0].replace(6, 3, "003");
  EXPECT_TRUE(HasError(Check(older), Find(older, "|M210|") + 1, "M210",
                       "o campo 02 (COD_CONT) tem 1 caractere, o leiaute exige exatamente 2: \"1\""));
}

TEST(CheckCatalogue, OlderLayoutsKeepTheirShorterForms) {
  // M210 in the 13 fields of the layouts before 2019.
  const std::string m210old = "|M210|01|10,00|10,00|1,65|||0,17|0,00|0,00|0,00|0,00|0,17|";
  Lines body = Referencing();
  body = Lines(body.begin(), body.begin() + Find(body, "|9001|"));
  body.insert(body.begin() + Find(body, "|M990|"), {"|M200|0,17|0,00|0,00|0,17|0,00|0,00|0,17|0,00|0,00|0,00|0,00|0,17|",
                                                   "|M205|08|691201|0,17|", m210old});
  Lines current = Renumbered(body);
  EXPECT_TRUE(HasError(Check(current), Find(current, "|M210|") + 1, "M210", "13 campos; o registro M210 tem 16 no leiaute 006"));
  Lines older = current;
  older[0].replace(6, 3, "003");
  CheckReport r = Check(older);
  EXPECT_TRUE(r.Valid()) << Listing(r);
  EXPECT_EQ(r.warnings, 1) << Listing(r);
  EXPECT_EQ(r.declaredLayout, "003");
  // More fields than layout 006 are wrong in any layout.
  older[Find(older, "|M210|")] = "|M210|01|10,00|10,00|0,00|0,00|10,00|1,65|||0,17|0,00|0,00|0,00|0,00|0,17||";
  EXPECT_TRUE(HasError(Check(older), Find(older, "|M210|") + 1, "M210", "17 campos; o registro M210 tem 16 no leiaute 006"));
}

TEST(CheckCommand, ExitStatusAndOutput) {
  TempFolder temp;
  const std::filesystem::path dir = temp.path();
  NetworkOptions options{.establishments = 2, .targetLines = 600, .seed = 11};
  std::vector<std::string> files = WriteNetwork(options, (dir / "net").string());
  ASSERT_EQ(files.size(), 2u);

  ProcessResult ok = RunQuelvar({"check", files[1]});
  EXPECT_EQ(ok.exitCode, 0) << ok.out << ok.err;
  EXPECT_NE(ok.out.find(": válido\n"), std::string::npos);
  EXPECT_NE(ok.out.find("bloco  linhas  X990"), std::string::npos);
  EXPECT_NE(ok.out.find("verificado pelo leiaute 006\n"), std::string::npos) << ok.out;

  // One wrong 9900 count: rejected, and the output names the line.
  std::string text = ReadFileBytes(files[1]);
  size_t at = text.find("|9900|C170|");
  ASSERT_NE(at, std::string::npos);
  size_t lineNo = std::count(text.begin(), text.begin() + at, '\n') + 1;
  size_t end = text.find('|', at + 11);
  text.replace(at + 11, end - at - 11, "999999");
  const std::string broken = (dir / "broken.txt").string();
  WriteFileBytes(broken, text);
  ProcessResult bad = RunQuelvar({"check", broken});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.out.find("linha " + std::to_string(lineNo) + " 9900: 9900 informa 999999 linhas do registro C170"), std::string::npos)
      << bad.out;

  // Unreadable: missing file, a folder.
  EXPECT_EQ(RunQuelvar({"check", (dir / "none.txt").string()}).exitCode, 2);
  ProcessResult folder = RunQuelvar({"check", dir.string()});
  EXPECT_EQ(folder.exitCode, 2);
  EXPECT_NE(folder.err.find("não foi possível ler"), std::string::npos);
}

TEST(CheckFile, ChunkBoundariesWithEveryLineEnding) {
  // Files of several megabytes: lines and CR LF pairs fall across the reader's chunks.
  TempFolder temp;
  const std::filesystem::path dir = temp.path();
  NetworkOptions options{.establishments = 1, .targetLines = 40000, .seed = 3};
  std::string path = WriteNetwork(options, (dir / "net").string())[0];
  const std::string crlf = ReadFileBytes(path);
  const int64_t lines = std::count(crlf.begin(), crlf.end(), '\n');
  ASSERT_GT(crlf.size(), 3u << 20);
  for (const char* ending : {"\r\n", "\n", "\r"}) {
    std::string text;
    text.reserve(crlf.size());
    for (size_t i = 0; i < crlf.size(); ++i) {
      if (crlf[i] == '\r') continue;
      if (crlf[i] == '\n') text += ending;
      else text += crlf[i];
    }
    const std::string file = (dir / "endings.txt").string();
    WriteFileBytes(file, text);
    CheckReport r;
    std::string error;
    ASSERT_TRUE(CheckEfdFile(file, r, error)) << error;
    EXPECT_TRUE(r.Valid()) << Listing(r);
    EXPECT_EQ(r.lines, lines);
  }
}

TEST(CheckFile, LineEndSplitByTheFirstRead) {
  // The first read takes 2 MiB: put the CR of the first line's CR LF (or CR)
  // just before, at and after that edge.
  TempFolder temp;
  const std::string path = temp.File("line_edge.txt");
  const size_t edge = 2u << 20;
  for (const char* ending : {"\r\n", "\r", "\n"}) {
    for (size_t length : {edge - 2, edge - 1, edge, edge + 1}) {
      WriteFileBytes(path, std::string(length, 'x') + ending + "second" + ending);
      LineReader reader;
      ASSERT_TRUE(reader.Open(path)) << reader.Error();
      std::vector<std::string> lines;
      std::string_view line;
      while (reader.Next(line)) lines.emplace_back(line);
      EXPECT_TRUE(reader.Error().empty());
      ASSERT_EQ(lines.size(), 2u) << "length " << length;
      EXPECT_EQ(lines[0].size(), length);
      EXPECT_EQ(lines[1], "second");
    }
  }
}

TEST(CheckFile, TheOfficialMultiEstablishmentSample) {
  const std::string path = std::string(QUELVAR_SOURCE_DIR) + "/../shared/samples/official-multi-establishment-2011.txt";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample not present: " << path;
  CheckReport r;
  std::string error;
  ASSERT_TRUE(CheckEfdFile(path, r, error)) << error;
  EXPECT_EQ(r.lines, 308);
  // A valid file of layout 002: its counts, tree and codes are consistent;
  // the records whose layout 006 form has more fields (0110, C500, and M210
  // and M610 without the base adjustments) are its own layout's shorter forms,
  // one warning per record code.
  EXPECT_TRUE(r.Valid()) << Listing(r);
  EXPECT_EQ(r.declaredLayout, "002");
  EXPECT_EQ(r.layout, "006");
  std::map<std::string, int> warnings;
  for (const CheckProblem& p : r.problems) warnings[p.code] += p.warning;
  EXPECT_EQ(warnings, (std::map<std::string, int>{{"0110", 1}, {"C500", 1}, {"M210", 1}, {"M610", 1}})) << Listing(r);
  for (const CheckBlock& b : r.blocks) EXPECT_EQ(b.lines, b.declared) << b.letter;
}
