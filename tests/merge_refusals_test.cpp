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
  ProcessResult first = RunMerge({Sample(0), Sample(1), Sample(2)}, out);
  ASSERT_EQ(first.exitCode, 0) << first.err;
  const std::string complete = ReadFileBytes(out + "/" + kMerged);
  std::string other = Edited(2, "other.txt", [](size_t n, const std::string& l) {
    return n == 1 ? std::string("|0000|006|0|||01082023|31082023|OUTRA|99999999000191|AL|2704302||00|1|") : l;
  });
  ProcessResult second = RunMerge({Sample(0), Sample(1), other}, out);
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
    ProcessResult r = RunMerge({file, Sample(1)}, dir.File("out"));
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
    ProcessResult r = RunMerge({head, Sample(1)}, dir.File("out"));
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
// So are, naming line, record, field and value, and `check` says the same:
// - an M400/M410 revenue with seven decimals (it counted as 0, and the merged
//   M400, M410, M800 and M810 lost the branch's revenue; the count names
//   errors of any kind, not "erro(s) de estrutura");
// - an I010 IND_ATIV "1", where the layout's size is exactly 2 ("01"), which
//   the tax authority's validator refuses;
// - an 1100 whose field 08 is not field 06 + field 07: the merge sums 1100 per
//   key but never recomputes it, so the input's own sum is checked, and the
//   branch is refused at its own line rather than the merged file's check
//   failing at a line of the merged file.
TEST_F(MergeRefusals, BrokenInputsAreRefusedWithTheirFirstErrorsBeforeImport) {
  struct Case {
    const char* name;
    int sample;
    std::function<std::string(size_t, const std::string&)> edit;
    std::vector<std::string> expected;  // each found in what `merge` prints
    size_t files = 2;                   // the first samples, `sample` replaced by the broken file
    std::string checkSays = "";         // found in what `check` prints of the broken file, when given
  };
  auto replaced = [](const char* prefix, const char* from, const char* to) {
    return [=](size_t, const std::string& l) {
      std::string e = l;
      if (l.rfind(prefix, 0) == 0) e.replace(e.find(from), std::string_view(from).size(), to);
      return e;
    };
  };
  const std::vector<Case> cases = {
      {"other-cnpj.txt", 0,
       [](size_t n, const std::string& l) {
         std::string h = l;
         if (n == 1) h.replace(h.find("42765521000180"), 14, "42765521000199");
         return h;
       },
       {"nenhum registro 0140 tem o CNPJ do registro 0000 (42765521000199)"}},
      {"truncated.txt", 1, [](size_t n, const std::string& l) { return n <= 40 ? l : std::string(); },
       {"a última linha não é o registro 9999"}},
      {"no-0140.txt", 0,
       [](size_t, const std::string& l) { return l.rfind("|0140|", 0) == 0 ? std::string() : l; },
       {"o arquivo não tem registro 0140"}},
      {"empty-0140.txt", 0,
       [](size_t, const std::string& l) { return l.rfind("|0140|", 0) == 0 ? std::string("|0140|") : l; },
       {"linha 8 0140: o CNPJ do estabelecimento (campo 4) não tem 14 dígitos"}},
      {"amount.txt", 0,
       [](size_t, const std::string& l) {
         return l.rfind("|M200|", 0) == 0 ? "|M200|1O0,00" + l.substr(l.find('|', 6)) : l;
       },
       {"M200: o campo 02 (VL_TOT_CONT_NC_PER) não é um número (só algarismos e uma vírgula decimal): \"1O0,00\""}},
      {"filial-7-casas.txt", 1,
       [&](size_t n, const std::string& l) {
         return replaced("|M400|06|15846,98|", "15846,98", "15846,9800001")(
             n, replaced("|M410|105|15846,98|", "15846,98", "15846,9800001")(n, l));
       },
       {"filial-7-casas.txt: Arquivo recusado: 2 erro(s): linha 182 M400",
        "linha 182 M400: o campo 03 (VL_TOT_REC) tem 7 casas decimais, o leiaute admite até 2: \"15846,9800001\"",
        "linha 183 M410: o campo 03 (VL_REC) tem 7 casas decimais"},
       3, "182 M400: o campo 03 (VL_TOT_REC) tem 7 casas decimais"},
      {"filial-ind-ativ.txt", 1, replaced("|I010|", "|01|", "|1|"),
       {"filial-ind-ativ.txt: Arquivo recusado: 1 erro(s): linha 159 I010: o campo 03 (IND_ATIV) tem 1 caractere, "
        "o leiaute exige exatamente 2: \"1\""},
       3, "159 I010: o campo 03 (IND_ATIV) tem 1 caractere"},
      {"filial-1100.txt", 1,
       [](size_t n, const std::string& l) {
         return n == 213 ? "|1100|1|01|42765521000260|001|10,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|0,00|"
                           "0,00|"
                         : l;
       },
       {"linha 213 1100: o campo 08 (VL_TOT_CRED_APU) vale 0 e difere da soma dos campos 06 (VL_CRED_APU) e 07 "
        "(VL_CRED_EXT_APU): 10"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.File(std::string("out-") + c.name);
    std::string broken = Edited(c.sample, c.name, c.edit);
    std::vector<std::string> files;
    for (size_t i = 0; i < c.files; ++i) files.push_back(Sample(static_cast<int>(i)));
    files[c.sample] = broken;
    ProcessResult r = RunMerge(files, out);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(std::string(c.name) + ": Arquivo recusado"), std::string::npos) << r.err;
    for (const std::string& e : c.expected) EXPECT_NE(r.err.find(e), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out + "/" + kMerged));
    if (c.checkSays.empty()) continue;
    ProcessResult check = RunQuelvar({"check", broken});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(check.out.find(c.checkSays), std::string::npos) << check.out;
  }
}
