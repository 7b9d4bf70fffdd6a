#pragma once

#include "store/SecretStore.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>

/// The secret store on the desktop's Secret Service (GNOME Keyring, KWallet, KeePassXC) through
/// libsecret. Items carry the attributes "service" and "account" and hold the raw bytes, so
/// `secret-tool lookup service S account A` finds them.
///
/// Each operation runs libsecret's calls on a worker thread of its own and answers on the thread
/// that asked; operations run one after the other, so that a second one finds what the first one
/// unlocked. An operation first finds its items without unlocking anything: a service that does not
/// answer within `timeout` is abandoned (Unavailable). Then the locked items it needs (and the
/// default collection, for a save) are unlocked together, with one prompt. Once the unlock is asked,
/// the operation waits for the person at the prompt, up to `promptPatience`; the prompt is never
/// withdrawn before. The first failure of an outage is logged once.
class LibsecretSecretStore : public SecretStore
{
public:
    /// How long a service that does not answer is waited for.
    static constexpr std::chrono::milliseconds defaultTimeout{25000};
    /// How long a person deciding at an unlock prompt is waited for.
    static constexpr std::chrono::milliseconds defaultPromptPatience{std::chrono::minutes(10)};

    explicit LibsecretSecretStore(std::chrono::milliseconds timeout = defaultTimeout,
                                  std::chrono::milliseconds promptPatience = defaultPromptPatience);
    ~LibsecretSecretStore() override;

    void readItems(const QString &service, const QObject *receiver, ReadHandler done) override;
    void replaceItems(const QString &service, const Items &items, const QObject *receiver,
                      WriteHandler done) override;

    /// The state an operation's worker shares with the store (defined with the worker).
    struct Call;

private:
    struct Job;

    void enqueue(std::unique_ptr<Job> job);
    void startNext();
    void deadlineReached();
    /// Ends the running job with `reply` and starts the next one.
    void finish(const Result &result, const Items &items);
    /// Remembers whether the service could be used, logging the first failure of an outage.
    void noteProblem(const Result &result);

    const std::chrono::milliseconds m_timeout;
    const std::chrono::milliseconds m_promptPatience;
    /// Lives on the thread that made the store: the workers' answers and the deadline arrive there.
    QObject m_home;
    QTimer m_deadline;
    std::deque<std::unique_ptr<Job>> m_queue;
    std::unique_ptr<Job> m_running;
    std::shared_ptr<Call> m_call;
    bool m_promptPatienceGiven = false;
    bool m_available = true;
};
