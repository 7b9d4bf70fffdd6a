#pragma once

#include "cli/Command.h"

#include <QString>

#include <optional>

class QCommandLineParser;

/// `netlatchctl login [--username NAME --password-stdin] [--verbose]`: one sign-in at the portal with the
/// given account, or the stored one when no name is given. Prints
/// every status the sign-in publishes, one per line, and exits 0 on success, 1 on failure (an
/// unreadable keyring included), 2 on a usage error.
class LoginCommand final : public Command
{
public:
    using Command::Command;

    QString name() const override;
    QString summary() const override;
    Syntax syntax() const override;
    int run(const QStringList &arguments) override;

private:
    struct Account
    {
        QString username;
        QString password;
    };

    /// The account to sign in with, or absent after the problem was printed; `exitCode` then says how
    /// the command ends.
    std::optional<Account> accountFromOptions(const QCommandLineParser &parser, int &exitCode) const;
    /// The account kept in the keyring, or absent after the problem was printed (a usage error when
    /// none is stored, a failure when the keyring cannot be read).
    std::optional<Account> storedAccount(int &exitCode) const;
    int signIn(const Account &account) const;
};
