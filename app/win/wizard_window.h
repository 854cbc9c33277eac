// The wizard window on Windows: a plain top-level window whose child controls
// show the state of frmAssistente's controls (refreshed on ControlsChanged)
// and hand the user's clicks to the form's handlers, as the Qt window does on
// Linux. Every control's ID is named after the form's control
// (kIdCmdAvancar for cmdAvancar, ...).
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/win/win_ports.h"
#include "wizard/frm_assistente.h"

namespace winui {

class WizardWindow : public FormView, public QuestionPort {
 public:
  // Creates the (hidden) window and the form over `databaseTarget` (as
  // `merge --database`; "" a temporary SQLite file). Throws std::runtime_error
  // when the window cannot be created.
  explicit WizardWindow(std::string databaseTarget);
  ~WizardWindow() override;
  WizardWindow(const WizardWindow&) = delete;
  WizardWindow& operator=(const WizardWindow&) = delete;

  // Starts the form: opens the database, shows page 0's state. Throws
  // DatabaseError when the database cannot be opened.
  void Load();
  // Shows the window and runs its messages until it is closed; returns the
  // program's exit status.
  int Run();
  HWND hwnd() const { return hwnd_; }

  // FormView: repaints the controls from the form / runs pending messages.
  void ControlsChanged() override;
  void DoEvents() override;
  // A wait cursor over the window while the form reads a file before its bar moves.
  void Busy(bool on) override;
  // QuestionPort: the form's yes/no questions ("Sim"/"Não").
  bool Ask(std::string_view question) override;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  // Keys the window handles before the dialog navigation: Delete on the list.
  bool PreTranslate(MSG& msg);
  // Runs the messages waiting now; false when the program was asked to quit
  // (the quit message is posted again for the main loop).
  bool Pump();

  void CreateControls();
  HWND Add(int id, const wchar_t* cls, const wchar_t* text, DWORD style, int page, DWORD exStyle = 0);
  // Fonts and sizes for the window's current DPI.
  void MakeFonts();
  void ApplyFonts();
  int S(int dips) const { return MulDiv(dips, dpi_, 96); }
  // Places every control for the client size and the page shown.
  void Layout();
  // Height of the wrapped text of `control` when `width` wide.
  int TextHeight(HWND control, int width) const;
  void Paint(HDC dc);
  void DrawRotulo(const DRAWITEMSTRUCT& d);
  void DrawListRow(const DRAWITEMSTRUCT& d);

  void OnCommand(int id, int code);
  void OnNext();
  void OnBack();
  void OnCancel();
  void OnClose();
  void OnChooseFile();
  void OnChooseFolder();
  void OnRemoveFile();
  void OnMoveFile(int delta);
  void OnListMenu(int x, int y);
  void ShowFileList();
  // The list's tooltip: the full path of the row under the mouse.
  void AddListTip();
  static LRESULT CALLBACK ListProc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
  void ListTipText(NMTTDISPINFOW& info);
  void FocusPage(int page);
  // ---- Beside the pages (wizard_aids.cpp) ----
  // The controls of the aids: "Sobre" and "Salvar registro..." in the button
  // bar, the summary on page 3, the result page's "Abrir pasta", "Abrir
  // arquivo", summary table and log; drops onto the list; Ctrl+O and F1.
  void CreateAids();
  // Their state from the form: title, summary, buttons, log and table.
  void ShowAids();
  // Places the result page's controls from `y` down to `bottom`, `x` and `w` wide.
  void LayoutResult(int x, int y, int w, int bottom);
  // Fills the summary table from the last run's rows (when they changed).
  void ShowSummaryTable();
  // Draws the total row of the summary table in bold.
  LRESULT SummaryCustomDraw(NMLVCUSTOMDRAW& draw);
  void ShowAbout();
  // The copy menu of a read-only edit ("Copiar"/"Copiar tudo", "Selecionar tudo").
  void OnCopyMenu(HWND edit, int x, int y);
  // Files dropped onto the list (`drop` released here), handed to the form once the drop has ended.
  void OnDropFiles(HDROP drop);
  void TakeDroppedFiles();
  // The aids' commands (buttons, Ctrl+O, F1); false for another control's.
  bool OnAidCommand(int id, int code);
  // Control IDs of the aids, named after the form's controls; kIdAbrir is Ctrl+O's, kIdSobreKey F1's.
  static constexpr int kIdCmdSobre = 1200, kIdCmdSalvarRegistro = 1201, kIdCmdAbrirPasta = 1202,
                       kIdCmdAbrirArquivo = 1203, kIdTxtRegistro = 1204, kIdGrdResumo = 1205, kIdLblResumo = 1206,
                       kIdAbrir = 1210, kIdSobreKey = 1211;
  // Posted after a drop, so that the import runs once the drop has ended.
  static constexpr UINT kMsgDropped = WM_APP + 1;
  static LRESULT CALLBACK TextProc(HWND edit, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
  void CloseIfDone();
  void SetText(HWND control, const std::wstring& text);

  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  WinMessages messages_;
  WinProgress progress_;
  WinFileChooser fileChooser_;
  WinFolderChooser folderChooser_;
  WinSettings settings_;
  WinPathOpener opener_;
  std::unique_ptr<frmAssistente> form_;
  bool busy_ = false;
  bool quitting_ = false;
  int shownPage_ = -1;
  std::string shownCaption_[5];
  std::vector<std::wstring> shownRows_;

  // The controls and the page each belongs to (-1: every page).
  struct Item {
    HWND hwnd;
    int page;
    const Control* control;  // its state in the form, null for fixed texts
  };
  std::vector<Item> items_;
  HFONT font_ = nullptr, bold_ = nullptr, title_ = nullptr, attention_ = nullptr, small_ = nullptr,
        header_ = nullptr;
  int lineHeight_ = 16;
  HBITMAP welcome_ = nullptr, headerPicture_ = nullptr;
  HBRUSH white_ = nullptr;

  HWND lblRotulo_ = nullptr, cmdVoltar_ = nullptr, cmdAvancar_ = nullptr, cmdCancelar_ = nullptr,
       cmdConciliacao_ = nullptr;
  HWND p0Title_ = nullptr, p0Text1_ = nullptr, p0Text2_ = nullptr, p0Kind_ = nullptr, p0Continue_ = nullptr;
  HWND optionArquivo_ = nullptr, optionMatrizFilial_ = nullptr;
  HWND checkValidarMatriz_ = nullptr, p1Local_ = nullptr, txtLocalMagnetico_ = nullptr, cmdLocalArquivo_ = nullptr,
       p1List_ = nullptr, listSelecionados_ = nullptr, cmdRemover_ = nullptr, cmdSubir_ = nullptr,
       cmdDescer_ = nullptr, lblQuantidade_ = nullptr, label15_ = nullptr;
  HWND p2Local_ = nullptr, txtCaminhoSalvo_ = nullptr, buttonLocalidade_ = nullptr, p2Note_ = nullptr;
  HWND p3Attention_ = nullptr, p3Text_ = nullptr, p3Finish_ = nullptr;
  HWND bars_[5] = {}, barLabels_[5] = {};
  HWND lblResultadoFinal_ = nullptr;
  HWND lblResumo_ = nullptr, cmdSobre_ = nullptr, cmdSalvarRegistro_ = nullptr, cmdAbrirPasta_ = nullptr,
       cmdAbrirArquivo_ = nullptr, txtRegistro_ = nullptr, grdResumo_ = nullptr;
  HACCEL keys_ = nullptr;                    // Ctrl+O, F1
  std::string shownLog_;                     // the log last put in txtRegistro_
  std::vector<std::vector<std::string>> shownSummary_;  // the cells last put in grdResumo_
  std::vector<std::string> dropped_;         // files dropped, waiting for the form
  HWND listTip_ = nullptr;
  int tipRow_ = -1;
  std::wstring tipText_;
};

}  // namespace winui
