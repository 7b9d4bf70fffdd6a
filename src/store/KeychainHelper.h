#pragma once

#include "common/SharedInstance.h"
#include "store/Credentials.h"

#include <QString>

class SecretStore;

/// Keeps the user's one portal account in the secret store as two items of `service`, told apart by
/// their account "username" and "password", each holding the field's UTF-8 bytes. Main thread only.
/// It neither shows nor logs anything and does not check for empty fields; callers do.
class KeychainHelper : public SharedInstance<KeychainHelper>
{
public:
    /// The service name that every item of the account carries.
    inline static const QString service = QStringLiteral("com.netlatch.credentials");
    inline static const QString usernameAccount = QStringLiteral("username");
    inline static const QString passwordAccount = QStringLiteral("password");

    explicit KeychainHelper(SecretStore &store);

    /// Replaces the stored account. True only when both items were written; a failed save is not
    /// rolled back and may leave one item or none.
    bool saveCredentials(const QString &username, const QString &password);

    /// Reads both fields, each by its own lookup. Any failure, including bytes that are not valid
    /// UTF-8, reads as absent.
    Credentials loadCredentials() const;

    /// Removes both items.
    void deleteCredentials();

    /// Whether the secret store could be used on the last call; for explaining a failure.
    bool isStoreAvailable() const;
    /// Why the store could not be used, when it can say (see SecretStore::unavailableReason).
    QString storeProblem() const;

private:
    std::optional<QString> loadField(const QString &account) const;

    SecretStore &m_store;
};
