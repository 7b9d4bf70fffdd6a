#pragma once

#include "common/SharedInstance.h"
#include "store/Credentials.h"
#include "store/SecretStore.h"

#include <QString>

#include <functional>

class QObject;

/// Keeps the user's one portal account in the secret store as two items of `service`, told apart by
/// their account "username" and "password", each holding the field's UTF-8 bytes. Every operation
/// answers later, by its handler, on the caller's event loop (see SecretStore); a read and a save
/// each unlock the store with one prompt at most. It neither shows nor logs anything and does not
/// check for empty fields; callers do.
class KeychainHelper : public SharedInstance<KeychainHelper>
{
public:
    /// The service name that every item of the account carries.
    inline static const QString service = QStringLiteral("com.netlatch.credentials");
    inline static const QString usernameAccount = QStringLiteral("username");
    inline static const QString passwordAccount = QStringLiteral("password");

    /// A read of the account: the fields are only meaningful when the result is Done; a field whose
    /// bytes are not valid UTF-8 reads as absent.
    struct Read
    {
        SecretStore::Result result;
        Credentials credentials;
    };
    using ReadHandler = std::function<void(const Read &read)>;

    explicit KeychainHelper(SecretStore &store);

    void loadCredentials(const QObject *receiver, ReadHandler done) const;

    /// Replaces the stored account. Done only when both items were written; a store that could not
    /// be unlocked keeps the old account.
    void saveCredentials(const QString &username, const QString &password, const QObject *receiver,
                         SecretStore::WriteHandler done);

    /// Removes both items.
    void deleteCredentials(const QObject *receiver, SecretStore::WriteHandler done);

private:
    SecretStore &m_store;
};
