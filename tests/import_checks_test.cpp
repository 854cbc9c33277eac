// Which files may join the merge: the head office first, then files of the same
// company root and period that are not in the merge yet.
#include <gtest/gtest.h>

#include "staging/run_state.h"
#include "staging/text.h"
#include "tests/support/check_support.h"
#include "tests/support/writer_support.h"
#include "tests/support/import_support.h"
#include "tests/support/staging_database.h"
#include "tools/efdgen/network.h"
#include "wizard/input_validation.h"

namespace {

const std::string kMatriz = "11111111000191";
const std::string kFilial = "11111111000272";

std::vector<std::string> Network(const std::string& cnpj, const std::string& dtIni = "01012020",
                                 const std::string& dtFin = "31012020") {
  return {HeaderLine(cnpj, dtIni, dtFin), "|0001|0|", EstablishmentLine("1", cnpj), "|0990|3|",
          "|9999|4|"};
}

}  // namespace

TEST(FileChecks, FirstFileOfABranchIsRefusedAndTheTablesEmptied) {
  ImportStage s;
  // A stray row, as if something had been staged before.
  s.form->Run().connection->Execute("INSERT INTO ###0150(Id_CNPJ,Reg) VALUES ('x','0150')");
  EXPECT_EQ(s.Import(s.Write("filial.txt", Network(kFilial))), ImportOutcome::Refused);
  EXPECT_EQ(s.TakeMessages(),
            std::vector<std::string>{"Selecione primeiramente o arquivo que contém o CNPJ da Empresa Matriz!"});
  EXPECT_EQ(s.Count("0150"), 0u);
  EXPECT_FALSE(s.form->Run().matrizSelected);
  EXPECT_TRUE(s.form->controls.ListBoxSelecionados.empty());
  // The next file is again checked as the head office.
  EXPECT_EQ(s.Import(s.Write("matriz.txt", Network(kMatriz))), ImportOutcome::Imported);
  EXPECT_EQ(s.form->Run().matrizCNPJ, kMatriz);
  EXPECT_EQ(s.Import(s.Write("filial2.txt", Network(kFilial))), ImportOutcome::Imported);
  EXPECT_EQ(s.form->controls.ListBoxSelecionados.size(), 2u);
}

TEST(FileChecks, LaterFilesNeedTheSameRootAndPeriodAndNotToBeInTheMergeYet) {
  ImportStage s;
  ASSERT_EQ(s.Import(s.Write("matriz.txt", Network(kMatriz))), ImportOutcome::Imported);
  struct Case {
    std::vector<std::string> lines;
    std::string message;
  } cases[] = {
      // Another file of an establishment in the merge: a part, for the other
      // kind. The message names the file that has it (it did not) and the
      // option of the command line (it spoke only of the wizard's pages).
      {Network(kMatriz), "O CNPJ " + kMatriz + " já está na unificação por outro arquivo (matriz.txt). Se este "
                         "arquivo é outra parte do mesmo CNPJ, volte à primeira página e use 'Unifica Arquivo "
                         "(Mesmo CNPJ)' (na linha de comando, merge --same-cnpj)."},
      {Network("22222222000191"), "Arquivo selecionado não pertence à Matriz!!!"},
      {Network(kFilial, "02012020"), "Arquivo selecionado não pertence ao mesmo período (INICIAL)!!!"},
      {Network(kFilial, "01012020", "30012020"), "Arquivo selecionado não pertence ao mesmo período (FINAL)!!!"},
      // A branch of another layout version: its lines have other fields.
      {[] {
         auto lines = Network(kFilial);
         lines[0].replace(0, 10, "|0000|005|");
         return lines;
       }(),
       "Arquivo selecionado declara o leiaute 005 e a Matriz o leiaute 006: arquivos de versões diferentes do "
       "leiaute não podem ser unificados!!!"},
  };
  int i = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(s.Import(s.Write("f" + std::to_string(i++) + ".txt", c.lines)), ImportOutcome::Refused);
    EXPECT_EQ(s.TakeMessages(), std::vector<std::string>{c.message});
  }
  // The head office's own file again is the same file, whatever its establishments.
  EXPECT_EQ(s.Import(s.dir.string() + "/matriz.txt"), ImportOutcome::Refused);
  EXPECT_EQ(s.TakeMessages(), std::vector<std::string>{"Arquivo já selecionado!!!"});
  EXPECT_EQ(s.Count("0140"), 1u);
  EXPECT_EQ(s.form->controls.ListBoxSelecionados.size(), 1u);
}

TEST(FileChecks, HeaderThatCannotNameTheMergedFileIsRefusedBeforeImport) {
  ImportStage s;
  s.NoHeadOfficeCheck();
  struct Case {
    std::string cnpj, dtIni, dtFin, message;
  };
  const std::vector<Case> cases = {
      // LIKE wildcards and a quote, a NUL, a path, a short CNPJ, dates that are no days
      {"1111111%'_01", "01012020", "31012020",
       "O CNPJ do registro 0000 (campo 9) não tem 14 dígitos: \"1111111%'_01\"!"},
      {std::string("1111111100019\0", 14), "01012020", "31012020",
       "O CNPJ do registro 0000 (campo 9) não tem 14 dígitos: \"1111111100019?\"!"},
      {"11111111000191", "x/../../../escaped", "31012020",
       "A data inicial do registro 0000 (campo 6) não é uma data DDMMAAAA: \"x/../../../escaped\"!"},
      {"1111111100019", "01012020", "31012020",
       "O CNPJ do registro 0000 (campo 9) não tem 14 dígitos: \"1111111100019\"!"},
      {"11111111000191", "01/01/20", "31012020",
       "A data inicial do registro 0000 (campo 6) não é uma data DDMMAAAA: \"01/01/20\"!"},
      {"11111111000191", "01012020", "30022020",
       "A data final do registro 0000 (campo 7) não é uma data DDMMAAAA: \"30022020\"!"},
      {"11111111000191", "29022021", "31012021",
       "A data inicial do registro 0000 (campo 6) não é uma data DDMMAAAA: \"29022021\"!"},
  };
  int i = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(s.Import(s.Write("m" + std::to_string(i++) + ".txt", Network(c.cnpj, c.dtIni, c.dtFin))),
              ImportOutcome::Refused)
        << c.message;
    EXPECT_EQ(s.TakeMessages(), std::vector<std::string>{c.message});
    EXPECT_EQ(s.Count("0000"), 0u);
    EXPECT_FALSE(s.form->Run().matrizSelected) << "a refused header is no reference";
  }
  // A leap day is a day.
  EXPECT_EQ(s.Import(s.Write("ok.txt", Network("11111111000191", "29022020", "29022020"))), ImportOutcome::Imported);
}

TEST(FileChecks, UntickedBoxStillMakesTheFirstFileTheReference) {
  ImportStage s;
  s.NoHeadOfficeCheck();
  ASSERT_EQ(s.Import(s.Write("filial.txt", Network(kFilial))), ImportOutcome::Imported);
  EXPECT_EQ(s.form->Run().matrizCNPJ, kFilial);
  EXPECT_EQ(s.form->Run().matrizDtIni, "01012020");
  EXPECT_EQ(s.Import(s.Write("matriz.txt", Network(kMatriz))), ImportOutcome::Imported);
  EXPECT_EQ(s.Import(s.Write("outra.txt", Network("22222222000191"))), ImportOutcome::Refused);
}

TEST(FileChecks, SameCnpjMergeRefusesOnlyTheSameFileChosenAgain) {
  ImportStage s;
  s.SameCnpj();
  std::vector<std::string> part1 = Network(kMatriz), part2 = Network(kMatriz);
  part2.insert(part2.begin() + 3, "|0150|P2|OUTRO|||||||||||");
  std::string p1 = s.Write("parte1.txt", part1);
  ASSERT_EQ(s.Import(p1), ImportOutcome::Imported);
  // A second part of the same CNPJ joins, although its CNPJ is stored in 0140.
  EXPECT_EQ(s.Import(s.Write("parte2.txt", part2)), ImportOutcome::Imported);
  // The same path again, also written another way, and the same bytes under another name.
  EXPECT_EQ(s.Import(p1), ImportOutcome::Refused);
  EXPECT_EQ(s.Import((s.dir / "." / "parte1.txt").string()), ImportOutcome::Refused);
  EXPECT_EQ(s.Import(s.Write("copia.txt", part1)), ImportOutcome::Refused);
  EXPECT_EQ(s.TakeMessages(), std::vector<std::string>(3, "Arquivo já selecionado!!!"));
  // The root and the period still decide.
  EXPECT_EQ(s.Import(s.Write("x.txt", Network(kMatriz, "01022020"))), ImportOutcome::Refused);
  EXPECT_EQ(s.Import(s.Write("y.txt", Network("22222222000191"))), ImportOutcome::Refused);
  EXPECT_EQ(s.form->controls.ListBoxSelecionados.size(), 2u);
}

TEST(FileChecks, EmptyFilesAndBadHeadersAreRefused) {
  ImportStage s;
  EXPECT_EQ(s.Import(s.WriteBytes("vazio.txt", "")), ImportOutcome::Refused);
  EXPECT_EQ(s.TakeMessages(), std::vector<std::string>{"O arquivo está vazio: não há registros a importar."});
  EXPECT_EQ(s.Import(s.Write("curto.txt", {"|0000|006|0|||01012020|31012020|EMPRESA|", "|0001|0|"})),
            ImportOutcome::Refused);
  EXPECT_EQ(s.Import(s.Write("sem0000.txt", {"|0001|0|", HeaderLine(kMatriz)})), ImportOutcome::Refused);
  EXPECT_EQ(s.Import(s.WriteBytes("branco.txt", "\r\n")), ImportOutcome::Refused);
  EXPECT_EQ(s.TakeMessages().size(), 3u);
  EXPECT_FALSE(s.form->Run().matrizSelected);
  EXPECT_EQ(s.Count("0001"), 0u);
}

// The numbers of an input as the guide writes them (digits, a decimal comma,
// no more decimals than the layout gives, no more digits than the field's
// size, no sign) are read exactly; any other is refused at the input check
// naming line, record, field and value. Before, the check took any number of
// digits and decimals and a minus, and the merge read what it could not hold
// exactly as 0.
TEST(FileChecks, AmountsAreAcceptedOnlyAsTheLayoutWritesThem) {
  const std::string sample = std::string(QUELVAR_SOURCE_DIR) + "/samples/network/2-filial.txt";
  if (ReadFileBytes(sample).empty()) GTEST_SKIP() << "sample not present: " << sample;
  const std::vector<std::string> lines = ReadCrLfLines(sample);
  struct Case {
    const char* code;  // the first line of this record is edited
    size_t field;      // field number, REG = 1
    std::string value;
    std::string refusal;  // the message after "linha N CODE: "; empty when accepted
  };
  const std::string nines(30, '9');
  const std::vector<Case> cases = {
      {"M400", 3, "15846,98", ""},
      {"M400", 3, "15846", ""},
      {"M400", 3, "0", ""},
      {"M400", 3, "", ""},
      {"M400", 3, "000015846,90", ""},
      {"M400", 3, nines + ",99", ""},  // no size in the layout: read up to 30 whole digits
      {"M100", 5, "1,6500", ""},       // ALIQ_PIS: 4 decimals, 8 digits
      {"C170", 5, "0,00001", ""},      // QTD: 5 decimals
      {"C170", 14, "1000,00", ""},     // ALIQ_ICMS: 6 digits
      {"M400", 3, "15846,9800001",
       "o campo 03 (VL_TOT_REC) tem 7 casas decimais, o leiaute admite até 2: \"15846,9800001\""},
      {"M400", 3, "15846,980", "o campo 03 (VL_TOT_REC) tem 3 casas decimais, o leiaute admite até 2: \"15846,980\""},
      {"M410", 3, "-15846,98", "o campo 03 (VL_REC) tem sinal, que os campos numéricos não admitem: \"-15846,98\""},
      {"M410", 3, "+1", "o campo 03 (VL_REC) tem sinal, que os campos numéricos não admitem: \"+1\""},
      {"M400", 3, "15.846,98",
       "o campo 03 (VL_TOT_REC) não é um número (só algarismos e uma vírgula decimal): \"15.846,98\""},
      {"M400", 3, "1,", "o campo 03 (VL_TOT_REC) não é um número (só algarismos e uma vírgula decimal): \"1,\""},
      {"M400", 3, ",5", "o campo 03 (VL_TOT_REC) não é um número (só algarismos e uma vírgula decimal): \",5\""},
      {"0111", 2, " 1", "o campo 02 (REC_BRU_NCUM_TRIB_MI) não é um número (só algarismos e uma vírgula decimal): "
                        "\" 1\""},
      {"M400", 3, "1" + nines,
       "o campo 03 (VL_TOT_REC) tem 31 algarismos antes da vírgula, mais do que os 30 que o programa lê com "
       "exatidão: \"1999999999999999999999999999999\""},
      {"M100", 5, "123456,789", "o campo 05 (ALIQ_PIS) tem 9 algarismos, o leiaute admite até 8: \"123456,789\""},
      {"C170", 2, "1,5", "o campo 02 (NUM_ITEM) tem casas decimais, que o leiaute não admite nele: \"1,5\""},
  };
  TempFolder dir;
  for (const Case& c : cases) {
    std::vector<std::string> edited = lines;
    size_t at = 0;
    while (at < edited.size() && edited[at].rfind("|" + std::string(c.code) + "|", 0) != 0) ++at;
    ASSERT_LT(at, edited.size()) << c.code;
    std::vector<std::string_view> f = SplitBars(edited[at]);
    std::string line = "|";
    for (size_t k = 1; k + 1 < f.size(); ++k) line.append(k == c.field ? std::string_view(c.value) : f[k]).append("|");
    edited[at] = line;
    std::string text;
    for (const std::string& l : edited) text += l + "\r\n";
    const std::string path = dir.File("edited.txt");
    WriteFileBytes(path, text);
    const InputValidation v = ValidateInputFile(path);
    const std::string what = std::string(c.code) + " field " + std::to_string(c.field) + " \"" + c.value + "\"";
    if (c.refusal.empty()) {
      EXPECT_TRUE(v.Valid()) << what << ": " << DescribeProblems(v);
    } else {
      EXPECT_EQ(v.problemCount, 1) << what << ": " << DescribeProblems(v);
      EXPECT_EQ(DescribeProblems(v, 1), "linha " + std::to_string(at + 1) + " " + c.code + ": " + c.refusal) << what;
    }
  }
}

namespace {

// The field `k` (REG = 1) of `line`.
std::string Field(const std::string& line, size_t k) {
  size_t start = 0;
  for (size_t i = 0; i < k; ++i) start = line.find('|', start) + 1;
  return line.substr(start, line.find('|', start) - start);
}

// The field `k` (REG = 1) of `line` replaced by `value`.
std::string WithField(const std::string& line, size_t k, const std::string& value) {
  size_t start = 0;
  for (size_t i = 0; i < k; ++i) start = line.find('|', start) + 1;
  const size_t end = line.find('|', start);
  return line.substr(0, start) + value + line.substr(end);
}

}  // namespace

// The structure of a file is checked while it is staged: a file the check
// refuses (a bad amount in the middle) leaves nothing staged and shows only
// its refusal, the same text as a check before the staging gave, whatever
// its staging met before (a notice of its 0110, or a 0110 that fails the
// staging at its third line); without the bad amount the staging's own
// notice or failure stands.
TEST(FileChecks, AFileTheCheckRefusesDuringItsStagingLeavesNothingAndOnlyTheRefusal) {
  NetworkOptions options;
  options.establishments = 2;
  options.targetLines = 40000;
  struct Case {
    const char* what;
    std::string regime;  // the branch's 0110 fields COD_INC_TRIB, COD_TIPO_CONT ("" as generated)
    bool badAmount;
    ImportOutcome outcome;
    std::string message;  // a part of the one message shown ("" for the refusal)
  };
  const std::vector<Case> cases = {
      {"bad amount", "", true, ImportOutcome::Refused, ""},
      {"bad amount after a 0110 notice", "tipo", true, ImportOutcome::Refused, ""},
      {"bad amount after a 0110 failure", "inc", true, ImportOutcome::Refused, ""},
      {"a 0110 notice only", "tipo", false, ImportOutcome::Imported, "o registro 0110 informa COD_TIPO_CONT"},
      {"a 0110 failure only", "inc", false, ImportOutcome::Failed, "o registro 0110 difere do primeiro arquivo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ImportStage s;
    s.form->m_ValidarEstrutura = true;
    const std::vector<std::string> files = WriteNetwork(options, (s.dir / "rede").string());
    ASSERT_EQ(s.Import(files[0]), ImportOutcome::Imported);
    s.TakeMessages();
    std::vector<std::string> lines = ReadCrLfLines(files[1]);
    ASSERT_GT(lines.size(), 10000u);
    for (std::string& line : lines)
      if (line.rfind("|0110|", 0) == 0) {
        if (c.regime == "tipo") line = WithField(line, 4, Field(line, 4) == "1" ? "2" : "1");
        if (c.regime == "inc") line = WithField(line, 2, Field(line, 2) == "1" ? "2" : "1");
      }
    if (c.badAmount) {
      bool changed = false;
      for (size_t i = lines.size() / 2; i < lines.size() && !changed; ++i)
        if (lines[i].rfind("|C170|", 0) == 0) {
          lines[i] = WithField(lines[i], 7, "1.5");  // VL_ITEM written with a point
          changed = true;
        }
      ASSERT_TRUE(changed);
    }
    const std::string branch = s.Write("filial.txt", lines);
    const std::vector<std::string> tables = {"0140", "C100", "C170", "M100"};
    std::vector<size_t> before;
    for (const std::string& t : tables) before.push_back(s.Count(t));

    EXPECT_EQ(s.Import(branch), c.outcome);
    const std::vector<std::string> shown = s.TakeMessages();
    ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
    if (c.message.empty()) {
      const InputValidation v = ValidateInputFile(branch);
      ASSERT_FALSE(v.Valid());
      EXPECT_EQ(shown[0], "Arquivo recusado: " + std::to_string(v.problemCount) + " erro(s): " + DescribeProblems(v) +
                              ". Nada deste arquivo foi gravado.");
    } else {
      EXPECT_NE(shown[0].find(c.message), std::string::npos) << shown[0];
    }
    if (c.outcome != ImportOutcome::Imported) {
      for (size_t i = 0; i < tables.size(); ++i) EXPECT_EQ(s.Count(tables[i]), before[i]) << tables[i];
      EXPECT_EQ(s.form->controls.ListBoxSelecionados.size(), 1u);
    } else {
      EXPECT_GT(s.Count("C170"), before[2]);
      EXPECT_EQ(s.form->m_Arquivos.back().lines, ValidateInputFile(branch).lines);
    }
  }
}
