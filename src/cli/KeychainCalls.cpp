#include "cli/KeychainCalls.h"

#include <QEventLoop>

namespace {
// Runs the command's own event loop (none runs yet) until `start`'s answer has come.
template <typename Answer, typename Start>
Answer wait(Start start)
{
    QEventLoop loop;
    Answer answer;
    start([&loop, &answer](const Answer &given) {
        answer = given;
        loop.quit();
    });
    loop.exec();
    return answer;
}
} // namespace

namespace KeychainCalls {

KeychainHelper::Read load(KeychainHelper &keychain)
{
    return wait<KeychainHelper::Read>([&keychain](auto done) { keychain.loadCredentials(nullptr, done); });
}

SecretStore::Result save(KeychainHelper &keychain, const QString &username, const QString &password)
{
    return wait<SecretStore::Result>(
        [&](auto done) { keychain.saveCredentials(username, password, nullptr, done); });
}

SecretStore::Result remove(KeychainHelper &keychain)
{
    return wait<SecretStore::Result>([&keychain](auto done) { keychain.deleteCredentials(nullptr, done); });
}

} // namespace KeychainCalls
