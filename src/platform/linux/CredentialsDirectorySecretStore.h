#pragma once

#include "store/SecretStore.h"

#include <QString>

/// The account as systemd hands it to a service: the files `netlatch.username` and `netlatch.password`
/// in $CREDENTIALS_DIRECTORY (LoadCredential=, LoadCredentialEncrypted=, decrypted by systemd). Read
/// only: nothing writes there, so adding and deleting fail. A file that anyone but its owner may read
/// is refused: the password would not be the service's secret any more.
class CredentialsDirectorySecretStore : public SecretStore
{
public:
    /// The variable systemd sets to the service's credentials folder.
    static constexpr const char *directoryVariable = "CREDENTIALS_DIRECTORY";

    /// True when `directory` holds both files of the account (readable or not).
    static bool holdsAccount(const QString &directory);

    explicit CredentialsDirectorySecretStore(QString directory);

    bool addItem(const QString &service, const QString &account, const QByteArray &data) override;
    std::optional<QByteArray> findItem(const QString &service, const QString &account) override;
    bool deleteItems(const QString &service) override;
    bool isAvailable() const override;
    QString unavailableReason() const override;

protected:
    void beginOperation() override;

private:
    const QString m_directory;
    QString m_problem; // empty while the current operation's reads worked
};
