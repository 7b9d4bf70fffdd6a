#pragma once

#include <QString>

#include <cstddef>
#include <optional>

/// Reading an account name or a password from standard input, for the commands that take them.
/// A line ends at "\n" (or "\r\n"); the line ending is not part of the text, and the end of input
/// ends the last line. Prompts go to stderr so that stdout stays clean for scripts.
namespace PasswordInput {

/// The longest line taken, in bytes without its line ending.
constexpr std::size_t maxLineBytes = 4096;

/// Whether standard input is a terminal a person types on.
bool stdinIsTerminal();

/// Reads one line. `prompt` is shown only when stdin is a terminal. Absent when the line is not
/// valid UTF-8 or longer than maxLineBytes; an empty string at the end of input.
std::optional<QString> readLine(const QString &prompt);

/// Like readLine, with the terminal's echo switched off while the line is typed (restored even
/// when the user interrupts with Ctrl-C).
std::optional<QString> readSecretLine(const QString &prompt);

} // namespace PasswordInput
