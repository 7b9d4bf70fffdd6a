#pragma once

#include "store/SecretStore.h"

#include <chrono>

/// The secret store on the desktop's Secret Service (GNOME Keyring, KWallet, KeePassXC) through
/// libsecret. Items carry the attributes "service" and "account" and hold the raw bytes, so
/// `secret-tool lookup service S account A` finds them. Each call, or each operation of several
/// calls, blocks its caller for at most `timeout`: a service that does not answer (or waits on an
/// unlock prompt nobody can see) is abandoned and counts as a failure, and the operation's later
/// calls fail at once. The first failure of an outage is logged once.
class LibsecretSecretStore : public SecretStore
{
public:
    /// Long enough for a user to answer an unlock prompt of the desktop keyring.
    static constexpr std::chrono::milliseconds defaultTimeout{30000};

    explicit LibsecretSecretStore(std::chrono::milliseconds timeout = defaultTimeout);

    bool addItem(const QString &service, const QString &account, const QByteArray &data) override;
    std::optional<QByteArray> findItem(const QString &service, const QString &account) override;
    bool deleteItems(const QString &service) override;
    bool isAvailable() const override;

protected:
    void beginOperation() override;
    void endOperation() override;

private:
    /// When the current call must have returned: the operation's deadline, or `timeout` from now.
    std::chrono::steady_clock::time_point deadline() const;
    /// Remembers whether the service could be used; `problem` is empty after a call that worked.
    void noteProblem(const QString &problem);

    std::chrono::milliseconds m_timeout;
    int m_operationDepth = 0;
    std::chrono::steady_clock::time_point m_operationDeadline;
    bool m_available = true;
};
