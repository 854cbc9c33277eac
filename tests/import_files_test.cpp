// Reading whole files: line ends, establishment renumbering across files,
// files that fail or are cancelled midway, and the public sample.
#include <gtest/gtest.h>

#include <filesystem>

#include "staging/run_state.h"
#include "tests/support/import_support.h"
#include "wizard/input_validation.h"

namespace {

const std::string kMatriz = "11111111000191";
const std::string kFilial = "11111111000272";
const std::string kFilial3 = "11111111000353";

std::vector<std::string> File(const std::string& cnpj, std::vector<std::string> body) {
  std::vector<std::string> lines{HeaderLine(cnpj), "|0001|0|"};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.insert(lines.end(), {"|0990|9|", "|9999|20|"});
  return lines;
}

// Remembers the import bar's last event and can press Cancel at a given line.
class Bar : public ProgressPort {
 public:
  double lastDone = -1, lastTotal = -1;
  std::string lastLabel;
  frmAssistente* form = nullptr;
  double cancelAt = -1;
  void Progress(const ProgressEvent& e) override {
    if (e.kind != 0) return;
    if (e.total > 0 || e.done > 0) {
      lastDone = e.done;
      lastTotal = e.total;
    }
    lastLabel = e.Label();
    if (form && e.done == cancelAt) form->RequestCancelImport();
  }
};

// Passes every statement on, except that SELECTs fail.
class FailingSelects : public DatabaseConnection {
 public:
  explicit FailingSelects(DatabaseConnection& real) : real_(real) {}
  void Open() override {}
  std::unique_ptr<Recordset> Execute(std::string_view sql) override {
    if (sql.rfind("SELECT", 0) == 0) throw DatabaseError("connection lost");
    return real_.Execute(sql);
  }
  int64_t LastIdentity(std::string_view table) override { return real_.LastIdentity(table); }
  void Close() override {}
  std::string Describe() const override { return "failing"; }

 private:
  DatabaseConnection& real_;
};

}  // namespace

TEST(ImportFiles, EveryLineEndIsReadAndTheBarEndsAtItsTotal) {
  struct Case {
    const char* name;
    std::string eol;
    bool finalEol;
  } cases[] = {{"crlf", "\r\n", true}, {"lf", "\n", false}, {"cr", "\r", true}, {"cr_nofinal", "\r", false}};
  for (const Case& c : cases) {
    ImportStage s;
    Bar bar;
    s.form->Run().ports.progress = &bar;
    std::string path = s.Write(std::string(c.name) + ".txt",
                               File(kMatriz, {EstablishmentLine("1", kMatriz), "|0150|P1|NOME||||||||||"}),
                               c.eol, c.finalEol);
    EXPECT_EQ(frmAssistente::CountLines(path), 6) << c.name;
    ASSERT_EQ(s.Import(path), ImportOutcome::Imported) << c.name;
    EXPECT_EQ(bar.lastDone, 6) << c.name;
    EXPECT_EQ(bar.lastTotal, 6) << c.name;
    EXPECT_EQ(bar.lastLabel, "Aguardando Próximo arquivo...");  // no counts between files
    EXPECT_EQ(s.Column("0150", "Bairro"), std::vector<std::string>{""}) << c.name;
    EXPECT_EQ(s.Count("9999"), 1u) << c.name;
    s.form->Run().ports.progress = nullptr;
  }
  ImportStage s;
  EXPECT_EQ(frmAssistente::CountLines(s.WriteBytes("mixed.txt", "a\r\nb\nc\rd")), 4);
  // Lines without a record are not imported, so the bar does not count them.
  EXPECT_EQ(frmAssistente::CountLines(s.WriteBytes("blank.txt", "\r\n\r\n")), 0);
  EXPECT_EQ(frmAssistente::CountLines(s.WriteBytes("blanks.txt", "a\r\n \t\r\n\n\rb\r\n  ")), 2);
  EXPECT_EQ(frmAssistente::CountLines((s.dir / "missing.txt").string()), 0);
  // The import takes the count from its reading of the structure instead of
  // reading the file once more: both count the same lines.
  for (const char* bytes : {"a\r\nb\nc\rd", "\r\n\r\n", "a\r\n \t\r\n\n\rb\r\n  ", "|0000|\r\n\r\n|9999|1|\r\n\r\n", ""}) {
    const std::string path = s.WriteBytes("same.txt", bytes);
    EXPECT_EQ(ValidateInputFile(path).lines, frmAssistente::CountLines(path)) << bytes;
  }
}

TEST(ImportFiles, EstablishmentsNumberedAcrossFiles) {
  ImportStage s;
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {EstablishmentLine("5", kMatriz),
                                                      EstablishmentLine("1", kFilial)}))),
            ImportOutcome::Imported);
  ASSERT_EQ(s.Import(s.Write("f.txt", File(kFilial3, {EstablishmentLine("1", kFilial3)}))),
            ImportOutcome::Imported);
  EXPECT_EQ(s.Column("0140", "Cod_Est"), (std::vector<std::string>{"5", "6", "7"}));
  EXPECT_EQ(s.Column("0140", "Nome"), (std::vector<std::string>{"LOJA 5", "LOJA 1", "LOJA 1"}));
  EXPECT_EQ(s.Column("0140", "CNPJ"), (std::vector<std::string>{kMatriz, kFilial, kFilial3}));
}

TEST(ImportFiles, RenumberingKeepsEveryOtherFieldAndCopesWithOddLines) {
  ImportStage s;
  std::string first = "|0140|CE0000001|LOJA|" + kMatriz + "|SP||3550308|||";
  EXPECT_EQ(s.form->RenumberEstablishment(first), "|0140|1|LOJA|" + kMatriz + "|SP||3550308|||");
  s.form->Run().connection->Execute("INSERT INTO ###0140(Id_CNPJ,Reg,Cod_Est) VALUES ('x','0140','3')");
  std::string later = "|0140|1|LOJA|x|";
  s.form->RenumberEstablishment(later);
  EXPECT_EQ(later, "|0140|4|LOJA|x|");
  std::string bare = "|0140|12";
  EXPECT_EQ(s.form->RenumberEstablishment(bare), "|0140|4");
  std::string tooShort = "|0140";
  EXPECT_EQ(s.form->RenumberEstablishment(tooShort), "|0140");
}

TEST(ImportFiles, AFileThatCannotBeReadChangesNothing) {
  ImportStage s;
  ASSERT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {EstablishmentLine("1", kMatriz), "|0100|A|111|"}))),
            ImportOutcome::Imported);
  s.TakeMessages();
  std::string missing = (s.dir / "missing.txt").string();
  EXPECT_EQ(s.Import(missing), ImportOutcome::Failed);
  EXPECT_EQ(s.Import(s.dir.string()), ImportOutcome::Failed);  // a folder
  auto shown = s.TakeMessages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[0].find("missing.txt"), std::string::npos);
  EXPECT_NE(shown[1].find(s.dir.string()), std::string::npos);
  EXPECT_EQ(s.form->controls.ListBoxSelecionados.size(), 1u);
  EXPECT_EQ(s.Count("0140"), 1u);
  // A staging store that fails during the check: reported, not thrown.
  auto real = std::move(s.form->Run().connection);
  s.form->Run().connection = std::make_unique<FailingSelects>(*real);
  EXPECT_EQ(s.Import(s.Write("f.txt", File(kFilial, {}))), ImportOutcome::Failed);
  s.form->Run().connection = std::move(real);
  ASSERT_EQ(s.TakeMessages().size(), 1u);
  EXPECT_EQ(s.form->Run().matrizCNPJ, kMatriz);
}

TEST(ImportFiles, CancelledOrFailingFileIsRolledBackAndItsStateGivenBack) {
  ImportStage s;
  Bar bar;
  bar.form = s.form.get();
  s.form->Run().ports.progress = &bar;
  // The first file cancelled: nothing stays, and the next file is again the first.
  bar.cancelAt = 4;
  EXPECT_EQ(s.Import(s.Write("m.txt", File(kMatriz, {EstablishmentLine("1", kMatriz), "|0100|A|111|",
                                                      "|0110|1|1|1||"}))),
            ImportOutcome::Cancelled);
  EXPECT_FALSE(s.form->Run().matrizSelected);
  EXPECT_EQ(s.form->Run().matrizCNPJ, "");
  EXPECT_EQ(s.form->m_CPF, "");
  EXPECT_EQ(s.form->Run().currentCNPJ, "");
  for (const char* t : {"0000", "0001", "0140", "0100"}) EXPECT_EQ(s.Count(t), 0u) << t;
  EXPECT_TRUE(s.form->controls.ListBoxSelecionados.empty());
  bar.cancelAt = -1;
  ASSERT_EQ(s.Import(s.Write("m2.txt", File(kMatriz, {EstablishmentLine("1", kMatriz), "|0100|A|111|",
                                                       "|0110|1|1|1||"}))),
            ImportOutcome::Imported);
  // A later file cancelled after its 0100 and 0140: the earlier file stays whole.
  bar.cancelAt = 5;
  EXPECT_EQ(s.Import(s.Write("f.txt", File(kFilial, {EstablishmentLine("1", kFilial), "|0100|B|222|",
                                                      "|A100|X|"}))),
            ImportOutcome::Cancelled);
  s.form->Run().ports.progress = nullptr;
  EXPECT_EQ(s.form->m_CPF, "111");
  EXPECT_EQ(s.form->Run().currentCNPJ, kMatriz);
  EXPECT_EQ(s.form->Run().matrizCNPJ, kMatriz);
  EXPECT_TRUE(s.form->m_Descartados.empty());
  EXPECT_EQ(s.Column("0140", "CNPJ"), std::vector<std::string>{kMatriz});
  EXPECT_EQ(s.Column("0100", "CPF"), std::vector<std::string>{"111"});
  EXPECT_EQ(s.form->controls.ListBoxSelecionados.size(), 1u);
  // After the rollback the same file can be imported.
  EXPECT_EQ(s.Import(s.Write("f2.txt", File(kFilial, {EstablishmentLine("1", kFilial)}))),
            ImportOutcome::Imported);
  EXPECT_EQ(s.Column("0140", "Cod_Est"), (std::vector<std::string>{"1", "2"}));
}

TEST(ImportFiles, ChoosingAFileImportsItAndACancelledDialogChangesNothing) {
  ImportStage s;
  ScriptedFiles files;
  frmAssistente::Ports ports;
  ports.files = &files;
  ports.ui = UiPorts{&s.messages, nullptr, &s.messages};
  frmAssistente form(ports, "memory");
  form.Form_Load();
  form.m_ValidarEstrutura = false;  // a small file, not a whole EFD file
  files.paths = {s.Write("m.txt", File(kMatriz, {EstablishmentLine("1", kMatriz)}))};
  form.ChooseInputFile();
  EXPECT_EQ(files.lastFilter, "Texto. TXT(*.txt)|*.txt");
  EXPECT_EQ(form.controls.ListBoxSelecionados, files.paths);
  EXPECT_TRUE(form.controls.cmdLocalArquivoMagnetico.Enabled);
  EXPECT_TRUE(form.controls.cmdAvancar.Enabled);
  EXPECT_EQ(form.controls.txtLocalMagnetico.Text, "");
  form.ChooseInputFile();  // the dialog is cancelled
  EXPECT_EQ(form.controls.ListBoxSelecionados.size(), 1u);
  // The form stages into its own database, not the stage's.
  EXPECT_EQ(s.Count("0140"), 0u);
  auto rs = form.Run().connection->Execute("SELECT COUNT(*) AS n FROM ###0140");
  EXPECT_EQ((*rs)["n"].AsInt(), 1);
}

TEST(ImportFiles, PublicSampleImportsWhole) {
  std::filesystem::path sample =
      std::filesystem::path(QUELVAR_SOURCE_DIR) / ".." / "shared" / "samples" / "official-multi-establishment-2011.txt";
  if (!std::filesystem::exists(sample)) GTEST_SKIP() << "sample not present: " << sample;
  ImportStage s;
  ASSERT_EQ(s.Import(sample.string()), ImportOutcome::Imported);
  EXPECT_TRUE(s.messages.errors.empty());
  EXPECT_EQ(s.Column("0140", "Cod_Est"), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(s.Count("0110"), 1u);  // four fields in this layout version: stored, reported as short
  EXPECT_GT(s.form->m_LinhasCurtas["0110"], 0);
  EXPECT_EQ(s.form->m_Descartados.count("0400"), 0u);  // every record of the layout is stored
  EXPECT_EQ(s.Count("0400"), 58u);
  EXPECT_GT(s.Count("C180"), 0u);
  EXPECT_EQ(s.Count("9999"), 1u);
}
