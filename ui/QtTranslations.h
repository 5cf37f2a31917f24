#pragma once
// Qt's own texts (its dialogs, the command line's help and errors) in Russian, like the rest of
// the interface, whatever the system's locale.
namespace wqtui {

// Installs Qt's Russian translations into the running application. Without them installed on
// the system Qt's texts stay English.
void installQtTranslations();

}  // namespace wqtui
