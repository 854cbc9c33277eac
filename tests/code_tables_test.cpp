// The tables of codes (participants 0150, units 0190, items 0200, natures
// 0400, notes 0450, accounts 0500, cost centres 0600) through the built
// program: a code never ends up pointing at another record than the one its
// file gave it. Grouped by cause: two lines of one code in one file, parts
// of one CNPJ that give one code different contents, codes that differ only
// in case, an establishment declared in two files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "staging/text.h"
#include "wizard/part_codes.h"
#include "tests/support/check_support.h"
#include "tests/support/writer_support.h"

namespace fs = std::filesystem;

namespace {

class CodeTables : public SampleNetworkTest {
 protected:
  // Sample i with each line replaced by what `edit` gives for it (none drops
  // it, several insert lines), counted again, written as `name`.
  std::string Edited(int i, const std::string& name,
                     const std::function<std::vector<std::string>(const std::string&)>& edit) {
    std::vector<std::string> out;
    for (const std::string& l : ReadCrLfLines(Sample(i)))
      for (const std::string& e : edit(l)) out.push_back(e);
    WriteFileLines(dir.File(name), Recounted(out));
    return dir.File(name);
  }
  ProcessResult Merge(const std::vector<std::string>& files, const std::string& flag = "--no-head-office-check") {
    std::vector<std::string> args = {"merge", "--no-progress", "--output-dir", dir.File("out")};
    if (!flag.empty()) args.insert(args.begin() + 2, flag);
    args.insert(args.end(), files.begin(), files.end());
    return RunQuelvar(args);
  }
  // The merged file's path ("" when none was written).
  std::string MergedPath() const {
    if (fs::exists(dir.File("out")))
      for (const auto& e : fs::directory_iterator(dir.File("out")))
        if (e.path().string().ends_with("_Unificado.txt")) return e.path().string();
    return {};
  }
  std::vector<std::string> MergedLines() const {
    const std::string path = MergedPath();
    return path.empty() ? std::vector<std::string>() : ReadCrLfLines(path);
  }

  TempFolder dir;
};

// Field k of a line (1 = the record code); "" when it has none.
std::string FieldOf(const std::string& line, size_t k) {
  std::vector<std::string_view> f = SplitBars(line);
  return k < f.size() ? std::string(f[k]) : std::string();
}

// The line with field k replaced by `value`.
std::string WithField(const std::string& line, size_t k, const std::string& value) {
  std::vector<std::string_view> f = SplitBars(line);
  std::string out;
  for (size_t i = 1; i < f.size(); ++i) out += "|" + (i == k ? value : std::string(f[i]));
  return out;
}

// The lines of `lines` that start with `prefix`.
std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> out;
  for (const std::string& l : lines)
    if (l.rfind(prefix, 0) == 0) out.push_back(l);
  return out;
}

// One line of each table of the branch's file (a line of its own, no
// children), and a field that is not part of the code's key.
struct TableLine {
  const char* record;
  const char* prefix;
  size_t otherField;
};
constexpr TableLine kTables[] = {
    {"0150", "|0150|F000002|", 3}, {"0190", "|0190|CX|", 3},    {"0200", "|0200|IT000002|", 3},
    {"0400", "|0400|NAT01|", 3},   {"0450", "|0450|000001|", 3}, {"0500", "|0500|01012020|04|A|5|3.01.01.01.01|", 7},
    {"0600", "|0600|01082023|CC01|", 4},
};

}  // namespace

// Before, the second line of a code with other contents was dropped and the
// documents of the other participant pointed at the first (exit 0, ledger
// balanced); now the file is refused naming both lines. The same line twice
// is merged into one (and `check` of such a file says the guide forbids it).
TEST_F(CodeTables, TwoLinesOfOneCodeInOneFileRefusedWhenDifferingWrittenOnceWhenIdentical) {
  for (const TableLine& t : kTables) {
    SCOPED_TRACE(t.record);
    int64_t at = 0;  // line of the original
    int64_t n = 0;
    for (const std::string& l : ReadCrLfLines(Sample(1))) {
      ++n;
      if (l.rfind(t.prefix, 0) == 0) at = n;
    }
    ASSERT_GT(at, 0);
    for (bool differing : {true, false}) {
      const std::string name = std::string("dup-") + t.record + (differing ? "-outro.txt" : "-igual.txt");
      std::string original;
      const std::string file = Edited(1, name, [&](const std::string& l) {
        if (l.rfind(t.prefix, 0) != 0) return std::vector<std::string>{l};
        original = l;
        return std::vector<std::string>{l, differing ? WithField(l, t.otherField, "OUTRO CADASTRO") : l};
      });
      fs::remove_all(dir.File("out"));
      ProcessResult r = Merge({file});
      if (differing) {
        EXPECT_EQ(r.exitCode, 1) << r.err;
        for (const std::string& part : {name, std::string("linha ") + std::to_string(at),
                                        std::string("linha ") + std::to_string(at + 1), std::string(t.record),
                                        "\"" + FieldOf(original, t.record == std::string("0500") ? 6
                                                                 : t.record == std::string("0600") ? 3
                                                                                                   : 2) + "\"",
                                        std::string("outro conteúdo")})
          EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;
        EXPECT_TRUE(MergedLines().empty());
      } else {
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::vector<std::string> merged = MergedLines();
        // Texts other than codes are written upper-cased, as always.
        EXPECT_EQ(std::count_if(merged.begin(), merged.end(),
                                [&](const std::string& l) { return UpperLatin1(l) == UpperLatin1(original); }),
                  1);
        EXPECT_NE(CheckFindings(file).find("repetido"), std::string::npos) << CheckFindings(file);
      }
    }
  }
}

// Before, every field was upper-cased when stored: "f000002" and "F000002",
// two participants of one valid file, became one, and the documents of
// "f000002" pointed at "F000002".
TEST_F(CodeTables, CodesThatDifferOnlyInCaseStayTwo) {
  std::string other, document;
  const std::string file = Edited(1, "caixa.txt", [&](const std::string& l) {
    if (l.rfind("|0150|F000002|", 0) == 0) {
      other = WithField(WithField(l, 2, "f000002"), 3, "OUTRA EMPRESA LTDA");
      return std::vector<std::string>{l, other};
    }
    if (document.empty() && l.rfind("|C100|", 0) == 0 && FieldOf(l, 4) == "F000002") {
      document = WithField(l, 4, "f000002");
      return std::vector<std::string>{document};
    }
    return std::vector<std::string>{l};
  });
  ASSERT_FALSE(document.empty());
  ProcessResult r = Merge({file});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> merged = MergedLines();
  ASSERT_EQ(Starting(merged, "|0150|f000002|").size(), 1u);
  EXPECT_EQ(FieldOf(Starting(merged, "|0150|f000002|")[0], 3), "OUTRA EMPRESA LTDA");
  ASSERT_EQ(Starting(merged, "|0150|F000002|").size(), 1u);
  EXPECT_NE(FieldOf(Starting(merged, "|0150|F000002|")[0], 3), "OUTRA EMPRESA LTDA");
  const std::vector<std::string> docs = Starting(merged, "|C100|" + FieldOf(document, 2) + "|");
  EXPECT_EQ(std::count_if(docs.begin(), docs.end(), [&](const std::string& l) { return l == document; }), 1);
}

// Before, a participant code that a second part of one CNPJ gives another
// company kept the first part's participant, and the second part's documents
// pointed at it. Now the second part's code is renamed (with a notice) and its
// documents follow; a code with the same contents stays one.
TEST_F(CodeTables, PartsOfOneCnpjRenameACodeOfOtherContentsAndItsReferencesFollow) {
  const std::string first = Edited(1, "parte1.txt", [](const std::string& l) { return std::vector<std::string>{l}; });
  std::string renamedParticipant;
  const std::string second = Edited(1, "parte2.txt", [&](const std::string& l) {
    if (l.rfind("|0150|F000002|", 0) == 0) return std::vector<std::string>{WithField(l, 3, "OUTRA EMPRESA LTDA")};
    if (l.rfind("|C100|", 0) == 0) return std::vector<std::string>{WithField(l, 8, "9" + FieldOf(l, 8))};
    return std::vector<std::string>{l};
  });
  ProcessResult r = Merge({first, second}, "--same-cnpj");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("parte2.txt"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("registro 0150 com COD_PART \"F000002\""), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("passa a ser \"F000002_2\""), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("\"F000001\""), std::string::npos) << "a code of the same contents is not renamed";

  const std::vector<std::string> merged = MergedLines();
  ASSERT_FALSE(merged.empty());
  std::map<std::string, std::string> names;  // participant -> NOME
  for (const std::string& l : Starting(merged, "|0150|")) {
    EXPECT_TRUE(names.emplace(FieldOf(l, 2), FieldOf(l, 3)).second) << "written twice: " << l;
  }
  EXPECT_EQ(names["F000002_2"], "OUTRA EMPRESA LTDA");
  EXPECT_NE(names["F000002"], "OUTRA EMPRESA LTDA");
  int pointed = 0;
  for (const std::string& c100 : Starting(merged, "|C100|")) {
    const std::string part = FieldOf(c100, 4);
    if (part.rfind("F000002", 0) != 0) continue;
    ++pointed;
    const bool ofSecond = FieldOf(c100, 8).front() == '9';
    EXPECT_EQ(part, ofSecond ? "F000002_2" : "F000002") << c100;
  }
  EXPECT_EQ(pointed, 4);  // two documents of F000002 in each part
  ExpectValidEfd(MergedPath());
}

// Before, parts of one CNPJ whose 0145 lines of one establishment differed
// failed the run through the ledger (the second part's line was dropped,
// its revenue with it). An establishment's 0145 gives the revenue of the
// period; each part brings its own, so the lines become one with VL_REC_TOT,
// VL_REC_ATIV and VL_REC_DEMAIS_ATIV summed, as 0111 is. A differing
// COD_INC_TRIB has no one right value: the run stops naming both files. A
// differing INFO_COMPL keeps the first part's, named in a notice.
TEST_F(CodeTables, PartsOfOneCnpjSumTheirEstablishmentRevenueOf0145) {
  struct Case {
    const char* name;
    std::vector<std::string> parts;  // the 0145 line of each part
    int exitCode;
    const char* merged;  // the merged 0145 ("" when nothing is written)
    std::vector<std::string> said;  // on stderr, besides the file names
  };
  const std::vector<Case> cases = {
      {"each part's own share, summed",
       {"|0145|1|1000,00|600,00|400,00|Registro 0145|", "|0145|1|500,50|300,25|200,25|Registro 0145|"},
       0, "|0145|1|1500,5|900,25|600,25|REGISTRO 0145|", {"foram somadas"}},
      {"three parts, one without the optional amount",
       {"|0145|2|10,00|10,00||Info|", "|0145|2|20,00|15,00|5,00|Info|", "|0145|2|0,01|0,01|0,00|Info|"},
       0, "|0145|2|30,01|25,01|5|INFO|", {"foram somadas"}},
      // The amounts of 0145 are the whole company's: every part repeating
      // them gives the company's totals once, not a multiple of them.
      {"the company's totals in every part, written once",
       {"|0145|1|100,00|100,00|0,00|Registro 0145|", "|0145|1|100,00|100,00|0,00|Registro 0145|"},
       0, "|0145|1|100,00|100,00|0,00|REGISTRO 0145|", {}},
      {"another text",
       {"|0145|1|10,00|10,00|0,00|Primeira|", "|0145|1|10,00|10,00|0,00|Segunda|"},
       0, "|0145|1|10,00|10,00|0,00|PRIMEIRA|",
       {"registro 0145 do estabelecimento 42765521000260: campo 06 (INFO_COMPL) \"PRIMEIRA\" no arquivo",
        "gravado o do arquivo"}},
      {"another incidence",
       {"|0145|1|10,00|10,00|0,00|Info|", "|0145|2|10,00|10,00|0,00|Info|"},
       1, "",
       {"registro 0145 do estabelecimento 42765521000260: campo 02 (COD_INC_TRIB) \"1\" no arquivo",
        "\"2\" no arquivo", "devem informar o mesmo valor", "A unificação falhou"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> files;
    for (size_t i = 0; i < c.parts.size(); ++i)
      files.push_back(Edited(1, "parte" + std::to_string(i + 1) + ".txt", [&](const std::string& l) {
        if (l.rfind("|0145|", 0) == 0) return std::vector<std::string>{c.parts[i]};
        // Documents of their own in each part.
        if (l.rfind("|C100|", 0) == 0) return std::vector<std::string>{WithField(l, 8, std::to_string(i) + FieldOf(l, 8))};
        return std::vector<std::string>{l};
      }));
    fs::remove_all(dir.File("out"));
    ProcessResult r = Merge(files, "--same-cnpj");
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    for (const std::string& part : c.said) EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;
    if (!c.said.empty())
      for (const std::string& file : {files[0], files[1]}) EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
    for (const char* lost : {"não foi gravada", "não foram gravadas"})
      EXPECT_EQ(r.err.find(lost), std::string::npos) << r.err;
    const std::vector<std::string> merged = MergedLines();
    if (*c.merged == 0) {
      EXPECT_TRUE(merged.empty());
      continue;
    }
    EXPECT_EQ(Starting(merged, "|0145|"), std::vector<std::string>{c.merged});
    ExpectValidEfd(MergedPath());
  }
}

// Before, the parts of one CNPJ that described their establishment
// otherwise (another IE in 0140, another IND_ESCRI in C010) lost the later
// part's line without a word; now the first's is written and the later one
// named with the field, both values and both files. The same line in every
// part (COD_EST, the program's numbering, aside) gives no notice.
TEST_F(CodeTables, PartsOfOneCnpjDescribingTheirEstablishmentOtherwiseAreNamed) {
  auto part = [&](const std::string& name, const std::string& ie, const std::string& indEscri, char docs) {
    return Edited(1, name, [&](const std::string& l) {
      if (l.rfind("|0140|", 0) == 0) return std::vector<std::string>{WithField(l, 6, ie)};
      if (l.rfind("|C010|", 0) == 0) return std::vector<std::string>{WithField(l, 3, indEscri)};
      if (l.rfind("|C100|", 0) == 0) return std::vector<std::string>{WithField(l, 8, docs + FieldOf(l, 8))};
      return std::vector<std::string>{l};
    });
  };
  const std::string first = part("parte1.txt", "713718445748", "2", '1');
  ProcessResult same = Merge({first, part("parte2.txt", "713718445748", "2", '2')}, "--same-cnpj");
  ASSERT_EQ(same.exitCode, 0) << same.err;
  EXPECT_EQ(same.err.find("do estabelecimento"), std::string::npos) << same.err;
  fs::remove_all(dir.File("out"));
  const std::string other = part("parte3.txt", "999999999999", "1", '3');
  ProcessResult r = Merge({first, other}, "--same-cnpj");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  for (const std::string& notice :
       {"registro 0140 do estabelecimento 42765521000260 no arquivo " + other +
            ": IE \"999999999999\" (gravado \"713718445748\"); gravado o do arquivo " + first,
        "registro C010 do estabelecimento 42765521000260 no arquivo " + other +
            ": IND_ESCRI \"1\" (gravado \"2\"); gravado o do arquivo " + first})
    EXPECT_NE(r.err.find(notice), std::string::npos) << notice << "\n" << r.err;
  EXPECT_EQ(r.err.find("COD_EST"), std::string::npos) << r.err;
  EXPECT_EQ(Starting(MergedLines(), "|0140|").size(), 1u);
}

// Before, a branch file that also declared the head office's 0140 was merged
// into the head office's establishment (0140, C010 and D010 lines fewer
// than the inputs had), exit 0.
TEST_F(CodeTables, AnEstablishmentDeclaredInTwoFilesIsRefusedNamingBoth) {
  std::string headEstablishment;
  for (const std::string& l : ReadCrLfLines(Sample(0)))
    if (l.rfind("|0140|", 0) == 0) headEstablishment = l;
  const std::string branch = Edited(1, "filial-com-matriz.txt", [&](const std::string& l) {
    if (l.rfind("|0140|", 0) == 0) return std::vector<std::string>{headEstablishment, l};
    return std::vector<std::string>{l};
  });
  ProcessResult r = Merge({Sample(0), branch}, "");
  EXPECT_EQ(r.exitCode, 1) << r.err;
  for (const char* part : {"filial-com-matriz.txt", "1-matriz.txt", "42765521000180", "linha 8",
                           "Nada deste arquivo foi gravado"})
    EXPECT_NE(r.err.find(part), std::string::npos) << part << "\n" << r.err;
  EXPECT_TRUE(MergedLines().empty());
}

// A renamed code keeps within its field's size from the catalogue and clear
// of every code in use.
TEST(RenamedCodes, SuffixWithinTheFieldSizeAndUnique) {
  struct Case {
    const char* code;
    size_t size;
    std::set<std::string> used;
    const char* renamed;
  } cases[] = {
      {"F000002", 60, {"F000002"}, "F000002_2"},
      {"F000002", 60, {"F000002", "F000002_2"}, "F000002_3"},
      {"000001", 6, {"000001"}, "0000_2"},  // 0450 COD_INF: six characters
      {"UNIDAD", 6, {"UNIDAD", "UNID_2"}, "UNID_3"},
      {"conta", 0, {"conta"}, "conta_2"},
  };
  for (const Case& c : cases) EXPECT_EQ(RenamedCode(c.code, c.size, c.used), c.renamed) << c.code;
}

// The lines under an establishment (C100, C170...) are staged whole, as one
// text, not field by field. A part of one CNPJ that renames a code must still
// rename it in those lines: an item of other contents renames the C170 lines
// of that part, and the participant of its C100 lines follows a renamed
// participant, while the first part's lines keep their codes.
TEST_F(CodeTables, RenamedCodesReachTheCarriedLinesOfTheirPart) {
  struct Case {
    const char* table;     // the table line the second part gives other contents
    const char* prefix;
    const char* record;    // the carried record that refers to it
    size_t field;          // the reference's field
    const char* renamed;
  };
  const Case cases[] = {
      {"0200", "|0200|IT000002|", "C170", 3, "IT000002_2"},
      {"0150", "|0150|F000002|", "C100", 4, "F000002_2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    fs::remove_all(dir.File("out"));
    const std::string first = Edited(1, "parte1.txt", [](const std::string& l) { return std::vector<std::string>{l}; });
    const std::string second = Edited(1, "parte2.txt", [&](const std::string& l) {
      if (l.rfind(c.prefix, 0) == 0) return std::vector<std::string>{WithField(l, 3, "OUTRO CADASTRO")};
      // The second part's documents are told apart by their number (NUM_DOC 9...).
      if (l.rfind("|C100|", 0) == 0) return std::vector<std::string>{WithField(l, 8, "9" + FieldOf(l, 8))};
      return std::vector<std::string>{l};
    });
    ProcessResult r = Merge({first, second}, "--same-cnpj");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(std::string("passa a ser \"") + c.renamed + "\""), std::string::npos) << r.err;
    const std::string code = std::string(c.prefix).substr(6, std::string(c.prefix).size() - 7);
    int renamed = 0, kept = 0;
    bool ofSecond = false;
    for (const std::string& l : MergedLines()) {
      if (l.rfind("|C100|", 0) == 0) ofSecond = FieldOf(l, 8).front() == '9';
      if (l.rfind(std::string("|") + c.record + "|", 0) != 0) continue;
      const std::string ref = FieldOf(l, c.field);
      if (ref != code && ref != c.renamed) continue;
      EXPECT_EQ(ref, ofSecond ? c.renamed : code) << l;
      ++(ofSecond ? renamed : kept);
    }
    EXPECT_GT(renamed, 0) << "no line of the second part refers to " << code;
    EXPECT_EQ(renamed, kept) << "both parts give the same documents";
    ExpectValidEfd(MergedPath());
  }
}

// A carried line is written as its fields were always stored: texts trimmed
// and upper-cased (ISO-8859-1 letters too), codes and amounts as the file
// gives them.
TEST_F(CodeTables, CarriedLinesAreWrittenWithTheirFieldsNormalisedAsBefore) {
  std::string given, expected;
  const std::string file = Edited(1, "minusculas.txt", [&](const std::string& l) {
    if (l.rfind("|C170|2|IT000002|", 0) != 0 || !given.empty()) return std::vector<std::string>{l};
    // DESCR_COMPL (field 4) in lower case with blanks around it.
    given = WithField(l, 4, "  caixa \xe7\xe3o aberta ");
    expected = WithField(l, 4, "CAIXA \xc7\xc3O ABERTA");
    return std::vector<std::string>{given};
  });
  ASSERT_FALSE(given.empty());
  ProcessResult r = Merge({file});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> merged = MergedLines();
  EXPECT_EQ(std::count(merged.begin(), merged.end(), expected), 1) << expected;
  EXPECT_EQ(std::count(merged.begin(), merged.end(), given), 0);
}
