#pragma once

#include <QString>

#include <memory>
#include <vector>

class Command;

/// Shell completion scripts for netlatchctl, written from the commands' own syntax (the table their
/// parsers and --help use), so that they cannot drift from what the program accepts: the commands,
/// each command's arguments word by word, and its options.
namespace CompletionScript {

/// The shells a script can be written for.
inline const QString bash = QStringLiteral("bash");
inline const QString zsh = QStringLiteral("zsh");
inline const QString fish = QStringLiteral("fish");

/// The script for `shell` (one of the names above; empty for another name).
QString forShell(const QString &shell, const std::vector<std::unique_ptr<Command>> &commands);

} // namespace CompletionScript
