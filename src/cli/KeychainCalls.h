#pragma once

#include "store/KeychainHelper.h"

/// The account operations as the commands use them: each waits for the store's answer (a command
/// has nothing else to do meanwhile). The store bounds the wait: a service that does not answer in
/// its time limit, a person at an unlock prompt in its prompt patience.
namespace KeychainCalls {

KeychainHelper::Read load(KeychainHelper &keychain);
SecretStore::Result save(KeychainHelper &keychain, const QString &username, const QString &password);
SecretStore::Result remove(KeychainHelper &keychain);

} // namespace KeychainCalls
