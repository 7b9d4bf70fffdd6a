#pragma once

#include "store/SecretStore.h"

#include <QList>
#include <QSet>

/// An in-memory secret store. Items form a plain list: an add never replaces an older twin, so a
/// caller that forgets to delete first is caught by the item count. It can be told to fail the adds
/// of chosen accounts, or to be unavailable altogether.
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

    bool addItem(const QString &service, const QString &account, const QByteArray &data) override;
    std::optional<QByteArray> findItem(const QString &service, const QString &account) override;
    bool deleteItems(const QString &service) override;
    bool isAvailable() const override { return m_available; }

    /// Every later add of `account` fails and stores nothing.
    void failAddsOf(const QString &account) { m_failingAccounts.insert(account); }
    /// While unavailable, every call fails and changes nothing.
    void setAvailable(bool available) { m_available = available; }
    /// Puts an item in place as another program might have written it.
    void plant(const Item &item) { m_items.append(item); }
    QList<Item> items() const { return m_items; }

private:
    QList<Item> m_items;
    QSet<QString> m_failingAccounts;
    bool m_available = true;
};
