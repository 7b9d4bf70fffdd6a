#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

/// Finds the user's logind session and reports when its LockedHint turns from locked to unlocked.
/// The session is this process's own ($XDG_SESSION_ID, else by PID); a process outside any session,
/// such as a systemd user service, watches the user's display session instead. Every logind call is
/// asynchronous, so a slow or absent logind never blocks the main thread.
class LogindSessionWatcher : public QObject
{
    Q_OBJECT

public:
    explicit LogindSessionWatcher(QDBusConnection systemBus, QObject *parent = nullptr);
    ~LogindSessionWatcher() override;

    void start();
    void stop();
    /// Object path of the watched session; empty until it has been found.
    QString sessionPath() const { return m_sessionPath; }

Q_SIGNALS:
    void sessionUnlocked();

private Q_SLOTS:
    void onPropertiesChanged(const QString &interface, const QVariantMap &changed);

private:
    using ReplyHandler = std::function<void(const QDBusMessage &reply)>;
    void callLogind(const QString &path, const QString &interface, const QString &method, const QVariantList &arguments,
                    ReplyHandler onReply);
    void findSessionById();
    void findSessionByPid();
    void findDisplaySession();
    void watch(const QString &path);
    void noteLockedHint(bool locked);
    void reportNoSession(const QString &reason);

    QDBusConnection m_systemBus;
    bool m_started = false;
    // Replies to calls made before a stop() belong to an earlier watch and are dropped.
    quint64 m_generation = 0;
    QString m_sessionPath;
    std::optional<bool> m_locked;
};
