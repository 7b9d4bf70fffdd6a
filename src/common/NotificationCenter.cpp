#include "common/NotificationCenter.h"

#include <QList>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, Handler handler)
{
    const Token token = m_nextToken++;
    m_observers.emplace(token, Entry{name, std::move(handler)});
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    m_observers.erase(token);
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo)
{
    QList<Token> matching;
    for (const auto &[token, entry] : m_observers) {
        if (entry.name == name)
            matching.append(token);
    }
    for (const Token token : matching) {
        const auto it = m_observers.find(token);
        if (it == m_observers.end())
            continue;
        const Handler handler = it->second.handler; // the observer may remove itself while it runs
        handler(userInfo);
    }
}

int NotificationCenter::observerCount(const QString &name) const
{
    int count = 0;
    for (const auto &[token, entry] : m_observers)
        count += entry.name == name ? 1 : 0;
    return count;
}
