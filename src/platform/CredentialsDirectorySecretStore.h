#pragma once

#include "store/SecretStore.h"

#include <QString>

/// The account as systemd hands it to a service: the files `netlatch.username` and `netlatch.password`
/// in $CREDENTIALS_DIRECTORY (LoadCredential=, LoadCredentialEncrypted=, decrypted by systemd). Read
/// only: nothing writes there, so replacing fails. A file that anyone but its owner may read
/// is refused: the password would not be the service's secret any more.
class CredentialsDirectorySecretStore : public SecretStore
{
public:
    /// The variable systemd sets to the service's credentials folder.
    static constexpr const char *directoryVariable = "CREDENTIALS_DIRECTORY";

    /// True when `directory` holds both files of the account (readable or not).
    static bool holdsAccount(const QString &directory);

    explicit CredentialsDirectorySecretStore(QString directory);

    void readItems(const QString &service, const QObject *receiver, ReadHandler done) override;
    void replaceItems(const QString &service, const Items &items, const QObject *receiver,
                      WriteHandler done) override;

private:
    /// Both files' data, or why the account cannot be used.
    Result read(Items &items) const;

    const QString m_directory;
};
