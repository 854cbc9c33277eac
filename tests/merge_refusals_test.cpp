// Hostile or broken inputs given to `quelvar merge`: each is refused with a
// message and exit status 1, never a merged file reported as a success with
// fewer lines than the inputs hold, and never a file outside the output folder
// or over a merged file written earlier.
#include <gtest/gtest.h>

#include <filesystem>

#include "staging/text.h"
#include "tests/support/check_support.h"
#include "tests/support/writer_support.h"

namespace fs = std::filesystem;

namespace {

// The sample network with line edits: the files are read as bytes and lines
// (CR LF) replaced by `edit`, which may return "" to drop a line.
class MergeRefusals : public SampleNetworkTest {
 protected:
  // Writes sample i with `edit` applied to each line (without its CR LF) as `name`.
  std::string Edited(int i, const std::string& name,
                     const std::function<std::string(size_t, const std::string&)>& edit) {
    std::string bytes = ReadFileBytes(Sample(i)), out;
    size_t n = 0;
    for (size_t at = 0; at < bytes.size();) {
      size_t end = bytes.find("\r\n", at);
      if (end == std::string::npos) end = bytes.size();
      std::string line = edit(++n, bytes.substr(at, end - at));
      if (!line.empty() || end == bytes.size()) out += line + (end == bytes.size() ? "" : "\r\n");
      at = end + 2;
    }
    WriteFileBytes(dir.File(name), out);
    return dir.File(name);
  }
  ProcessResult Merge(const std::vector<std::string>& files, const std::string& out) {
    std::vector<std::string> args = {"merge", "--no-progress", "--output-dir", out};
    args.insert(args.end(), files.begin(), files.end());
    return RunQuelvar(args);
  }
  // Every file under the test's folder, as paths relative to it.
  std::vector<std::string> Tree() const {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      names.push_back(fs::relative(e.path(), dir.path()).generic_string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder dir;
};

const char* kMerged = "EFDPISCOFINS_42765521000180_01082023_31082023_Unificado.txt";

}  // namespace

// Before, a refused third file still let the run replace the complete merged
// file written earlier, and the run exited 1.
TEST_F(MergeRefusals, AMergedFileIsReplacedOnlyByASuccessfulRun) {
  const std::string out = dir.File("out");
  ProcessResult first = Merge({Sample(0), Sample(1), Sample(2)}, out);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  const std::string complete = ReadFileBytes(out + "/" + kMerged);
  std::string other = Edited(2, "other.txt", [](size_t n, const std::string& l) {
    return n == 1 ? std::string("|0000|006|0|||01082023|31082023|OUTRA|99999999000191|AL|2704302||00|1|") : l;
  });
  ProcessResult second = Merge({Sample(0), Sample(1), other}, out);
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(second.err.find("other.txt: Arquivo selecionado não pertence"), std::string::npos) << second.err;
  EXPECT_NE(second.err.find("o arquivo unificado não foi gravado"), std::string::npos) << second.err;
  EXPECT_EQ(ReadFileBytes(out + "/" + kMerged), complete);
}

// Before, a period end of "x/../../../escaped" wrote the merged file outside
// the output folder, and a NUL in the CNPJ cut the name.
TEST_F(MergeRefusals, HeaderValuesThatWouldLeaveTheFolderAreRefusedBeforeImport) {
  fs::create_directories(dir.File("out/EFDPISCOFINS_42765521000180_01082023_x"));
  std::string escaping = Edited(0, "escaping.txt", [](size_t n, const std::string& l) {
    if (n != 1) return l;
    std::string h = l;
    h.replace(h.find("|31082023|"), 10, "|x/../../../escaped|");
    return h;
  });
  std::string nul = Edited(0, "cnpj-nul.txt", [](size_t n, const std::string& l) {
    if (n != 1) return l;
    std::string h = l;
    h[h.find("42765521000180") + 13] = '\0';
    return h;
  });
  for (const std::string& file : {escaping, nul}) {
    ProcessResult r = Merge({file, Sample(1)}, dir.File("out"));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("do registro 0000"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Tree(), (std::vector<std::string>{"cnpj-nul.txt", "escaping.txt", "out",
                                              "out/EFDPISCOFINS_42765521000180_01082023_x"}));
}

// Before, a row that could not be stored (a 0140 code beyond INT, a code of
// 20 digits) was only reported, and the merge exited 0 without that branch.
TEST_F(MergeRefusals, ARowThatCannotBeStoredFailsItsFile) {
  for (const char* code : {"2147483647", "12345678901234567890"}) {
    std::string head = Edited(0, "m.txt", [&](size_t, const std::string& l) {
      return l.rfind("|0140|", 0) == 0 ? "|0140|" + std::string(code) + l.substr(l.find('|', 6)) : l;
    });
    ProcessResult r = Merge({head, Sample(1)}, dir.File("out"));
    EXPECT_EQ(r.exitCode, 1) << code;
    EXPECT_NE(r.err.find("Nada deste arquivo foi gravado"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.File("out/") + kMerged)) << code;
  }
}

// Before, each of these merged with exit status 0 and lost records: the
// file's documents and Block 0 tables (0000 CNPJ not among the 0140
// records), a truncated branch, a file without 0140, a head office 0140
// without fields. Now each is refused before anything of it is staged,
// naming its first errors by line; a non-numeric amount of Block M, which
// stopped the run without naming file and line, is refused the same way.
TEST_F(MergeRefusals, BrokenInputsAreRefusedWithTheirFirstErrorsBeforeImport) {
  struct Case {
    const char* name;
    int sample;
    std::function<std::string(size_t, const std::string&)> edit;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"other-cnpj.txt", 0,
       [](size_t n, const std::string& l) {
         std::string h = l;
         if (n == 1) h.replace(h.find("42765521000180"), 14, "42765521000199");
         return h;
       },
       "nenhum registro 0140 tem o CNPJ do registro 0000 (42765521000199)"},
      {"truncated.txt", 1, [](size_t n, const std::string& l) { return n <= 40 ? l : std::string(); },
       "a última linha não é o registro 9999"},
      {"no-0140.txt", 0,
       [](size_t, const std::string& l) { return l.rfind("|0140|", 0) == 0 ? std::string() : l; },
       "o arquivo não tem registro 0140"},
      {"empty-0140.txt", 0,
       [](size_t, const std::string& l) { return l.rfind("|0140|", 0) == 0 ? std::string("|0140|") : l; },
       "linha 8 0140: o CNPJ do estabelecimento (campo 4) não tem 14 dígitos"},
      {"amount.txt", 0,
       [](size_t, const std::string& l) {
         return l.rfind("|M200|", 0) == 0 ? "|M200|1O0,00" + l.substr(l.find('|', 6)) : l;
       },
       "M200: o campo 02 (VL_TOT_CONT_NC_PER) não é um número (só algarismos e uma vírgula decimal): \"1O0,00\""},
  };
  for (const Case& c : cases) {
    const std::string out = dir.File(std::string("out-") + c.name);
    std::string broken = Edited(c.sample, c.name, c.edit);
    std::vector<std::string> files = {Sample(0), Sample(1)};
    files[c.sample] = broken;
    ProcessResult r = Merge(files, out);
    EXPECT_EQ(r.exitCode, 1) << c.name;
    EXPECT_NE(r.err.find(std::string(c.name) + ": Arquivo recusado"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out + "/" + kMerged)) << c.name;
  }
}

// Before, a branch whose M400/M410 revenue had seven decimals merged with exit
// status 0: the amount could not be read, counted as 0, and the merged M400,
// M410, M800 and M810 lost the branch's revenue while `check` called the file
// valid. Now the branch is refused naming its line, record, field and value
// (before, as "erro(s) de estrutura", which an amount is not).
TEST_F(MergeRefusals, AnAmountWithMoreDecimalsThanTheLayoutRefusesItsFile) {
  std::string branch = Edited(1, "filial-7-casas.txt", [](size_t, const std::string& l) {
    if (l.rfind("|M400|06|15846,98|", 0) == 0 || l.rfind("|M410|105|15846,98|", 0) == 0) {
      std::string e = l;
      e.replace(e.find("15846,98"), 8, "15846,9800001");
      return e;
    }
    return l;
  });
  const std::string out = dir.File("out");
  ProcessResult r = Merge({Sample(0), branch, Sample(2)}, out);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  // The count names errors of any kind, not only of the file's structure.
  EXPECT_NE(r.err.find("filial-7-casas.txt: Arquivo recusado: 2 erro(s): linha 182 M400"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("linha 182 M400: o campo 03 (VL_TOT_REC) tem 7 casas decimais, o leiaute admite até 2: "
                       "\"15846,9800001\""),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("linha 183 M410: o campo 03 (VL_REC) tem 7 casas decimais"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(out + "/" + kMerged));
  // `check` says the same of the file.
  ProcessResult c = RunQuelvar({"check", branch});
  EXPECT_EQ(c.exitCode, 1);
  EXPECT_NE(c.out.find("182 M400: o campo 03 (VL_TOT_REC) tem 7 casas decimais"), std::string::npos) << c.out;
}

// Before, a branch whose I010 IND_ATIV was "1" (the layout's size is exactly
// 2, "01") was imported and merged with exit status 0, and `check` called both
// files valid, while the tax authority's validator refuses them. Now the
// branch is refused before import naming file, line, record, field and value.
TEST_F(MergeRefusals, AFieldShorterThanItsFixedSizeRefusesItsFile) {
  size_t at = 0;
  std::string branch = Edited(1, "filial-ind-ativ.txt", [&](size_t n, const std::string& l) {
    if (at != 0 || l.rfind("|I010|", 0) != 0) return l;
    at = n;
    std::vector<std::string_view> f = SplitBars(l);
    return "|I010|" + std::string(f[2]) + "|1|" + std::string(f[4]) + "|";
  });
  ASSERT_NE(at, 0u);
  const std::string message = "linha " + std::to_string(at) +
                              " I010: o campo 03 (IND_ATIV) tem 1 caractere, o leiaute exige exatamente 2: \"1\"";
  const std::string out = dir.File("out");
  ProcessResult r = Merge({Sample(0), branch, Sample(2)}, out);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("filial-ind-ativ.txt: Arquivo recusado: 1 erro(s): " + message), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(out + "/" + kMerged));
  ProcessResult c = RunQuelvar({"check", branch});
  EXPECT_EQ(c.exitCode, 1);
  EXPECT_NE(c.out.find(std::to_string(at) + " I010: o campo 03 (IND_ATIV) tem 1 caractere"), std::string::npos)
      << c.out;
}

// Before, a branch whose 1100 said field 08 was not field 06 + field 07 was
// imported, summed into the merged 1100, and the run failed only at the check
// of the merged file, naming a line of the merged file. The merge sums 1100
// per key but never recomputes it, so the input's own sum is checked and the
// branch is refused naming its own line.
TEST_F(MergeRefusals, AnInputWhoseCreditControlDoesNotAddUpIsRefusedAtItsLine) {
  std::string branch = Edited(1, "filial-1100.txt", [](size_t n, const std::string& l) {
    return n == 213 ? "|1100|1|01|42765521000260|001|10,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|"
                    : l;
  });
  const std::string out = dir.File("out");
  ProcessResult r = Merge({Sample(0), branch}, out);
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("filial-1100.txt: Arquivo recusado"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("linha 213 1100: o campo 08 (VL_TOT_CRED_APU) vale 0 e difere da soma dos campos 06 "
                       "(VL_CRED_APU) e 07 (VL_CRED_EXT_APU): 10"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(out + "/" + kMerged));
}
