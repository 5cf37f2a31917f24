#pragma once
// The top-level handler of the editor: every exception that ends a handler is shown here, in the
// error box titled with the application title. The event loop then goes on.
#include <exception>

#include <QString>

#include "ui/UserDialogs.h"

namespace wqtui {

// Appends a full stop when the message's last character sorts after the full stop.
QString withFullStop(const QString& message);

// The dialogs the top-level handler shows its box through; the main window registers its own.
// Without a registration Qt's message boxes are used.
void setErrorDialogs(UserDialogs* dialogs);
UserDialogs& errorDialogs();

// Shows the exception's message (UTF-8) in the error box.
void reportException(const std::exception& error);

// Runs a handler body; an exception it throws is reported instead of crossing the event loop.
template <class Body>
void runHandler(Body&& body) {
  try {
    body();
  } catch (const std::exception& error) {
    reportException(error);
  } catch (...) {
    errorDialogs().errorMessage(QStringLiteral("Unknown error."));
  }
}

}  // namespace wqtui
