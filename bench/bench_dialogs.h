#pragma once
// The window benchmarks' dialogs: the open dialog answers the prepared theme, the folder dialog
// the prepared folder, progress goes to Qt's real progress window (its repaints are part of the
// time a user waits); any message or question means the road failed.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ui/UserDialogs.h"

namespace wqt::bench {

class BenchDialogs : public wqtui::UserDialogs {
 public:
  QString theme;
  QString folder;
  QString getOpenFileName(QWidget*, const QString&, const QString&) override { return theme; }
  QString getSaveFileName(QWidget*, const QString&, const QString&) override { return {}; }
  QString getExistingDirectory(QWidget*, const QString&) override { return folder; }
  bool question(const QString& t) override {
    fail(t);
    return false;
  }
  Answer questionWithCancel(const QString& t) override {
    fail(t);
    return Answer::Cancel;
  }
  std::unique_ptr<Progress> progress(QWidget* parent, const QString& label, int total) override {
    return qt_.progress(parent, label, total);
  }
  void infoMessage(const QString& t) override { fail(t); }
  void plainMessage(const QString& t) override { fail(t); }
  void errorMessage(const QString& t) override { fail(t); }

 private:
  wqtui::QtUserDialogs qt_;
  static void fail(const QString& t) {
    std::fprintf(stderr, "unexpected message: %s\n", t.toUtf8().constData());
    std::exit(1);
  }
};

}  // namespace wqt::bench
