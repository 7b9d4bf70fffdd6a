#include "store/KeychainHelper.h"

#include "common/StrictUtf8.h"
#include "store/SecretStore.h"

KeychainHelper::KeychainHelper(SecretStore &store)
    : m_store(store)
{
}

bool KeychainHelper::saveCredentials(const QString &username, const QString &password)
{
    const SecretStore::Operation operation(m_store);
    // A missing old item is no error, so the delete's result does not count.
    m_store.deleteItems(service);
    // Both adds always run: a failed name must not keep the password from being written.
    const bool usernameAdded = m_store.addItem(service, usernameAccount, username.toUtf8());
    const bool passwordAdded = m_store.addItem(service, passwordAccount, password.toUtf8());
    return usernameAdded && passwordAdded;
}

Credentials KeychainHelper::loadCredentials() const
{
    const SecretStore::Operation operation(m_store);
    return Credentials{loadField(usernameAccount), loadField(passwordAccount)};
}

void KeychainHelper::deleteCredentials()
{
    const SecretStore::Operation operation(m_store);
    m_store.deleteItems(service);
}

bool KeychainHelper::isStoreAvailable() const
{
    return m_store.isAvailable();
}

QString KeychainHelper::storeProblem() const
{
    return m_store.unavailableReason();
}

std::optional<QString> KeychainHelper::loadField(const QString &account) const
{
    const std::optional<QByteArray> data = m_store.findItem(service, account);
    if (!data)
        return std::nullopt;
    return StrictUtf8::decode(*data);
}
