#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>

class QObject;

/// The system's secret store as the account store sees it: items named by a service and an account,
/// each holding bytes. Every operation is asynchronous: it returns at once and its answer comes later
/// on the caller's event loop, never inside the call, and never after `receiver` is gone. An
/// operation unlocks what it needs with one prompt at most; a prompt the user can see is left to the
/// user. Nothing is thrown.
class SecretStore
{
public:
    /// How an operation ended.
    enum class Status {
        Done,
        /// The items are there but locked, and the user did not unlock them (or could not be asked).
        Locked,
        /// The store could not be used: no service, no answer within the time limit, an error.
        Unavailable
    };

    struct Result
    {
        Status status = Status::Done;
        /// Why the store could not be used, in words for the log; empty when done.
        QString problem = {};
    };

    /// The data of each item of a service by its account.
    using Items = QHash<QString, QByteArray>;
    using ReadHandler = std::function<void(const Result &result, const Items &items)>;
    using WriteHandler = std::function<void(const Result &result)>;

    virtual ~SecretStore() = default;

    /// Reads every item of `service`. Items are only given when the result is Done.
    virtual void readItems(const QString &service, const QObject *receiver, ReadHandler done) = 0;

    /// Replaces every item of `service` by `items` (none: deletes them). When the result is not
    /// Done, the items the store held before are still there, unless the store failed halfway.
    virtual void replaceItems(const QString &service, const Items &items, const QObject *receiver,
                              WriteHandler done) = 0;

protected:
    /// For stores that know their answer at once: runs `answer` on the next turn of the caller's event
    /// loop, unless `receiver` was given and is gone by then.
    static void answerLater(const QObject *receiver, std::function<void()> answer);
};
