#pragma once
// Dialogs that answer every question with a cancel and show nothing; a test overrides the few it
// asks.
#include <memory>

#include "ui/UserDialogs.h"

class SilentDialogs : public wqtui::UserDialogs {
 public:
  QString getOpenFileName(QWidget*, const QString&, const QString&) override { return {}; }
  QString getSaveFileName(QWidget*, const QString&, const QString&) override { return {}; }
  QString getExistingDirectory(QWidget*, const QString&) override { return {}; }
  bool question(const QString&) override { return false; }
  Answer questionWithCancel(const QString&) override { return Answer::Cancel; }
  std::unique_ptr<Progress> progress(QWidget*, const QString&, int) override { return nullptr; }
  void infoMessage(const QString&) override {}
  void plainMessage(const QString&) override {}
  void errorMessage(const QString&) override {}
};
