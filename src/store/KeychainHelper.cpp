#include "store/KeychainHelper.h"

#include "common/StrictUtf8.h"

KeychainHelper::KeychainHelper(SecretStore &store)
    : m_store(store)
{
}

void KeychainHelper::loadCredentials(const QObject *receiver, ReadHandler done) const
{
    m_store.readItems(service, receiver,
                      [done = std::move(done)](const SecretStore::Result &result, const SecretStore::Items &items) {
                          const auto field = [&items](const QString &account) -> std::optional<QString> {
                              const auto item = items.constFind(account);
                              return item == items.cend() ? std::nullopt : StrictUtf8::decode(*item);
                          };
                          done(Read{result, Credentials{field(usernameAccount), field(passwordAccount)}});
                      });
}

void KeychainHelper::saveCredentials(const QString &username, const QString &password, const QObject *receiver,
                                     SecretStore::WriteHandler done)
{
    m_store.replaceItems(service, {{usernameAccount, username.toUtf8()}, {passwordAccount, password.toUtf8()}},
                         receiver, std::move(done));
}

void KeychainHelper::deleteCredentials(const QObject *receiver, SecretStore::WriteHandler done)
{
    m_store.replaceItems(service, {}, receiver, std::move(done));
}
