#include "FakeSecretStore.h"

bool FakeSecretStore::addItem(const QString &service, const QString &account, const QByteArray &data)
{
    if (!m_available || m_failingAccounts.contains(account))
        return false;
    m_items.append({service, account, data});
    return true;
}

std::optional<QByteArray> FakeSecretStore::findItem(const QString &service, const QString &account)
{
    if (!m_available)
        return std::nullopt;
    for (const Item &item : std::as_const(m_items)) {
        if (item.service == service && item.account == account)
            return item.data;
    }
    return std::nullopt;
}

bool FakeSecretStore::deleteItems(const QString &service)
{
    if (!m_available)
        return false;
    m_items.removeIf([&service](const Item &item) { return item.service == service; });
    return true;
}
