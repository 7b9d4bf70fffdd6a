#pragma once

class QCoreApplication;

/// Loads Qt's own translations (Debian's qt6-translations-l10n) for the user's locale, so that the
/// error descriptions Qt writes into messages (a refused connection, a time-out) read in the user's
/// language. Does nothing where none is installed.
namespace QtTranslations {
void install(QCoreApplication &application);
}
