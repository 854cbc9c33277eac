// The Qt wizard window under test, offscreen, its dialogs answered by fakes:
// a temporary folder per test (with "out" in it), a new window on page 0, and
// its widgets found by object name. Questions are recorded and answered with
// `answer_`.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <QPushButton>
#include <QStringList>

#include "app/gui/wizard_window.h"
#include "tests/support/staging_database.h"
#include "tests/support/wizard_fakes.h"

class WindowFixture : public ::testing::Test {
 protected:
  explicit WindowFixture(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    dir_ = UniqueTempPath(prefix_ + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "out");
    NewWindow();
  }
  void TearDown() override {
    window_.reset();
    std::filesystem::remove_all(dir_);
  }
  // A new window on page 0 (a new program run), the dialogs answered by the fakes.
  void NewWindow() {
    window_.reset();
    WizardWindowOptions options;
    options.databaseTarget = "memory";
    options.files = &files_;
    options.folders = &folders_;
    options.messages = &messages_;
    options.errors = &messages_;
    options.settings = &settings_;
    options.opener = &opener_;
    options.confirm = [this](const QString& question) {
      questions_ << question;
      return answer_;
    };
    window_ = std::make_unique<WizardWindow>(options);
    window_->Load();
    window_->show();
  }
  template <class W>
  W* Find(const char* name) {
    W* w = window_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
  // On the folder page: `folder` chosen and the run started; the run's result.
  const RunResult& MergeInto(const std::filesystem::path& folder) {
    folders_.folder = folder.string();
    Button("ButtonLocalidadeSalvar")->click();
    Button("cmdAvancar")->click();
    Button("cmdAvancar")->click();
    return window_->form().m_Resultado;
  }

  std::string prefix_;
  std::filesystem::path dir_;
  RecordingMessages messages_;
  ScriptedFiles files_;
  FixedFolderChooser folders_;
  MemorySettings settings_;
  RecordingOpener opener_;
  QStringList questions_;
  bool answer_ = true;
  std::unique_ptr<WizardWindow> window_;
};
