#pragma once
// "Загрузить с подгонкой...": a picture of any size and format fitted to a JPG or RAW entry. The
// dialog shows the source with the crop window, and the result, enlarged at will, with exactly the
// pixels that will be stored; OK gives the bytes to import.
//
// The source is read off the UI thread (a 24-megapixel photo takes a good part of a second);
// a change of mode, crop or background refits it on the UI thread (resampling takes a few
// milliseconds), a change of dither or quality only stores the fitted picture again.
#include <QDialog>
#include <QFutureWatcher>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ops/entry_fit.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace wqtui {

class UserDialogs;
class TFitResultView;
class TFitSourceView;

// What reading the source gave: the picture, or the message saying why there is none.
struct FitSourceRead {
  std::shared_ptr<const wqt::SourcePicture> picture;
  QString error;
};

// The fitting modes and the dithers, as both dialogs that fit offer them; each item's data is the
// core's value.
void addFitModes(QComboBox* box);
void addDithers(QComboBox* box);

class TFitDialog : public QDialog {
  Q_OBJECT

 public:
  // `target` is the entry's (wqt::fitTarget); `source` the picture file chosen or dropped.
  TFitDialog(const wqt::FitTarget& target, const QString& source, UserDialogs& dialogs,
             QWidget* parent = nullptr);
  ~TFitDialog() override;

  // The bytes to store, once the dialog was accepted; nullopt after "Отмена".
  std::optional<std::vector<std::uint8_t>> acceptedBytes() const;

  // The options the controls and the crop window give, and what they make.
  const wqt::FitOptions& options() const { return options_; }
  const std::optional<wqt::FitResult>& fitResult() const { return result_; }

 Q_SIGNALS:
  // The result was made again (or the source could not be read).
  void resultChanged();

 private:
  void readSource();
  void sourceRead();
  void refit();
  void store();
  void showResult();
  void chooseBackground();
  void showBackground();
  void optionsChanged(bool refitNeeded);

  wqt::FitTarget target_;
  QString sourcePath_;
  UserDialogs& dialogs_;
  wqt::FitOptions options_;
  std::shared_ptr<const wqt::SourcePicture> source_;
  std::optional<wqt::RgbPicture> fitted_;
  std::optional<wqt::FitResult> result_;
  std::optional<std::vector<std::uint8_t>> accepted_;
  // Set when the background changed while a read ran: the source is read again after it.
  bool readAgain_ = false;
  QFutureWatcher<FitSourceRead> reading_;

  TFitSourceView* sourceView_;
  TFitResultView* resultView_;
  QComboBox* zoom_;
  QComboBox* mode_;
  QPushButton* background_;
  QComboBox* dither_;
  QSpinBox* quality_;
  QLabel* size_;
  QLabel* status_;
  QDialogButtonBox* buttons_;
};

}  // namespace wqtui
