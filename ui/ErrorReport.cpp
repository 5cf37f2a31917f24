#include "ui/ErrorReport.h"

namespace wqtui {

namespace {
UserDialogs* registeredDialogs = nullptr;
}  // namespace

QString withFullStop(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void setErrorDialogs(UserDialogs* dialogs) {
  registeredDialogs = dialogs;
}

UserDialogs& errorDialogs() {
  static QtUserDialogs fallback;
  return registeredDialogs != nullptr ? *registeredDialogs : fallback;
}

void reportException(const std::exception& error) {
  errorDialogs().errorMessage(withFullStop(QString::fromUtf8(error.what())));
}

}  // namespace wqtui
