#pragma once
// The editor's one seam to modal dialogs: file choosers and message boxes. The window asks this
// interface for every file name and shows every message through it, so tests can answer the
// dialogs and read the messages.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QColor>
#include <QString>

#include "ops/entry_fit.h"
#include "ui/PortChoice.h"

class QWidget;

namespace wqtui {

// The application title: the caption of plain messages and of the error box.
inline constexpr const char* kApplicationTitle = "Orvalen WQT Manager";
// The filter of pictures exchanged as PNG: RAW pictures, the overview's picture.
inline constexpr const char* kPngFilter = "PNG-изображение (.png)|*.png";
// The filter of theme files: open, save, a port's base and target.
inline constexpr const char* kThemeFilter = "WQT Theme File (*.wqt)|*.wqt";

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;

  // Filters come as "Description|pattern". An empty result means the user cancelled.
  // The open dialog accepts only an existing file; the save dialog accepts a new name and asks
  // before an existing file is replaced.
  virtual QString getOpenFileName(QWidget* parent, const QString& filter,
                                  const QString& fileName) = 0;
  virtual QString getSaveFileName(QWidget* parent, const QString& filter,
                                  const QString& fileName) = 0;

  // A chooser of an existing folder. An empty result means the user cancelled.
  virtual QString getExistingDirectory(QWidget* parent, const QString& caption) = 0;

  // A colour chooser starting at `initial`; an invalid colour means the user cancelled. Qt's own
  // chooser unless a seam answers it.
  virtual QColor getColor(QWidget* parent, const QColor& initial, const QString& caption);

  // The fitting dialog for a picture file and an entry's target: the bytes to store after "OK",
  // nullopt after "Отмена". The editor's own dialog unless a seam answers it.
  virtual std::optional<std::vector<std::uint8_t>> fitPicture(QWidget* parent,
                                                              const wqt::FitTarget& target,
                                                              const QString& picture);

  // What "Перенести на другую карту..." is to do; nullopt after "Отмена". The editor's own dialog
  // unless a seam answers it.
  virtual std::optional<PortChoice> portChoice(QWidget* parent);
  // What became of each file after the carrying. The editor's own window unless a seam shows it.
  virtual void portReport(QWidget* parent, const PortReport& report);

  // Caption the application title, question icon, buttons "Да" and "Нет"; true for "Да".
  virtual bool question(const QString& text) = 0;

  // Caption the application title, question icon, buttons "Да", "Нет" and "Отмена"; Esc and the
  // close box answer "Отмена".
  enum class Answer { Yes, No, Cancel };
  virtual Answer questionWithCancel(const QString& text) = 0;

  // A modal progress window with a cancel button, for an operation of `total` steps.
  class Progress {
   public:
    virtual ~Progress() = default;
    // Shows that `done` steps are complete and lets the window repaint; false once the user has
    // cancelled.
    virtual bool advance(int done) = 0;
  };
  virtual std::unique_ptr<Progress> progress(QWidget* parent, const QString& label, int total) = 0;

  // Caption "Information", information icon, one OK button.
  virtual void infoMessage(const QString& text) = 0;
  // As infoMessage, with a button "Подогнать..." beside OK: true when the user chose it. A seam
  // without the button shows the plain message.
  virtual bool infoMessageOfferingFit(const QString& text);
  // Caption the application title, no icon, one OK button.
  virtual void plainMessage(const QString& text) = 0;
  // Caption the application title, error icon, one OK button.
  virtual void errorMessage(const QString& text) = 0;
};

// Qt's own file dialogs and message boxes.
class QtUserDialogs : public UserDialogs {
 public:
  QString getOpenFileName(QWidget* parent, const QString& filter, const QString& fileName) override;
  QString getSaveFileName(QWidget* parent, const QString& filter, const QString& fileName) override;
  QString getExistingDirectory(QWidget* parent, const QString& caption) override;
  bool question(const QString& text) override;
  Answer questionWithCancel(const QString& text) override;
  std::unique_ptr<Progress> progress(QWidget* parent, const QString& label, int total) override;
  void infoMessage(const QString& text) override;
  bool infoMessageOfferingFit(const QString& text) override;
  void plainMessage(const QString& text) override;
  void errorMessage(const QString& text) override;
};

// Installs Qt's Russian translations into the running application, so that Qt's own texts (its
// dialogs, the command line's help and errors) are Russian like the rest of the interface,
// whatever the system's locale. Without them installed on the system Qt's texts stay English.
void installQtTranslations();

// A file name from a dialog as the file system spells it.
std::filesystem::path toPath(const QString& name);
std::string toFileName(const QString& name);

}  // namespace wqtui
