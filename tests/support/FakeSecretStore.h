#pragma once

#include "store/SecretStore.h"

#include <QList>
#include <QSet>

/// An in-memory secret store that answers on the next turn of the event loop. Items form a plain
/// list, so a store written twice is caught by the item count. It can be told to fail the adds of
/// chosen accounts (halfway through a replace), or to be locked or unavailable altogether.
class FakeSecretStore : public SecretStore
{
public:
    struct Item
    {
        QString service;
        QString account;
        QByteArray data;
        bool operator==(const Item &) const = default;
    };

    void readItems(const QString &service, const QObject *receiver, ReadHandler done) override;
    void replaceItems(const QString &service, const Items &items, const QObject *receiver,
                      WriteHandler done) override;

    /// Every later add of `account` fails and stores nothing.
    void failAddsOf(const QString &account) { m_failingAccounts.insert(account); }
    /// While not Done, every operation ends so and changes nothing.
    void setStatus(Status status) { m_status = status; }
    /// Puts an item in place as another program might have written it.
    void plant(const Item &item) { m_items.append(item); }
    /// Replaces the items of `service` at once, as a finished save would have.
    void put(const QString &service, const Items &items);
    QList<Item> items() const { return m_items; }
    /// How many reads were asked for (a test resets it at will).
    int reads = 0;

private:
    QList<Item> m_items;
    QSet<QString> m_failingAccounts;
    Status m_status = Status::Done;
};
