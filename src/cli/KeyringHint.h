#pragma once

#include "platform/CredentialsDirectorySecretStore.h"
#include "store/SecretStore.h"

#include <QString>

/// What the commands tell a user whose desktop keyring cannot be used.
inline const QString keyringUnavailableHint =
    QStringLiteral("The desktop keyring that keeps the account (a Secret Service on this session's D-Bus) "
                   "did not answer or is locked. Start or unlock one and try again: log in to a desktop "
                   "with GNOME Keyring, KWallet or KeePassXC's Secret Service, or run "
                   "'gnome-keyring-daemon --start --components=secrets' in this session.\n");

/// Why the account store could not be used and what to do: a service's credentials say what is wrong
/// with their files; for the desktop keyring, how to get one going.
inline QString storeFailureHint(const SecretStore::Result &result)
{
    const bool serviceCredentials = CredentialsDirectorySecretStore::holdsAccount(
        qEnvironmentVariable(CredentialsDirectorySecretStore::directoryVariable));
    return serviceCredentials && !result.problem.isEmpty() ? result.problem + u'\n' : keyringUnavailableHint;
}
