#include "FakeSecretStore.h"

#include <QObject>
#include <QStringList>

#include <algorithm>

void FakeSecretStore::readItems(const QString &service, const QObject *receiver, ReadHandler done)
{
    ++reads;
    Items found;
    for (const Item &item : std::as_const(m_items)) {
        if (item.service == service)
            found.insert(item.account, item.data);
    }
    const Result result{m_status, m_status == Status::Done ? QString() : QStringLiteral("fake")};
    answerLater(receiver, [done = std::move(done), result, found] { done(result, result.status == Status::Done ? found : Items()); });
}

void FakeSecretStore::replaceItems(const QString &service, const Items &items, const QObject *receiver,
                                   WriteHandler done)
{
    Result result{m_status, m_status == Status::Done ? QString() : QStringLiteral("fake")};
    if (m_status == Status::Done) {
        m_items.removeIf([&service](const Item &item) { return item.service == service; });
        QStringList accounts = items.keys();
        // "username" before "password", whatever the hash's order.
        std::sort(accounts.rbegin(), accounts.rend());
        for (const QString &account : std::as_const(accounts)) {
            if (m_failingAccounts.contains(account))
                result = {Status::Unavailable, QStringLiteral("fake add failure")};
            else
                m_items.append({service, account, items.value(account)});
        }
    }
    answerLater(receiver, [done = std::move(done), result] { done(result); });
}

void FakeSecretStore::put(const QString &service, const Items &items)
{
    replaceItems(service, items, nullptr, [](const Result &) {});
}
