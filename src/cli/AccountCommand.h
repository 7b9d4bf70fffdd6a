#pragma once

#include "cli/Command.h"

#include <optional>

class KeychainHelper;

/// `netlatchctl account set|show|clear`: keeps the portal account in the desktop keyring.
/// `show` never prints the password, only whether one is stored.
class AccountCommand final : public Command
{
public:
    using Command::Command;

    QString name() const override;
    QString summary() const override;
    Syntax syntax() const override;
    int run(const QStringList &arguments) override;

private:
    int set(KeychainHelper &keychain, const QString &commandName, std::optional<QString> username,
            bool passwordOnStdin);
    int show(KeychainHelper &keychain);
    int clear(KeychainHelper &keychain);
};
