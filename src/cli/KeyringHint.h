#pragma once

#include <QString>

/// What the commands tell a user whose desktop keyring cannot be used.
inline const QString keyringUnavailableHint =
    QStringLiteral("The desktop keyring that keeps the account (a Secret Service on this session's D-Bus) "
                   "did not answer or is locked. Start or unlock one and try again: log in to a desktop "
                   "with GNOME Keyring, KWallet or KeePassXC's Secret Service, or run "
                   "'gnome-keyring-daemon --start --components=secrets' in this session.\n");
