#include "platform/linux/LogindSessionWatcher.h"

#include "common/Log.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <sys/types.h>
#include <unistd.h>

namespace {
const QString LogindService = QStringLiteral("org.freedesktop.login1");
const QString ManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString ManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString UserInterface = QStringLiteral("org.freedesktop.login1.User");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString LockedHintProperty = QStringLiteral("LockedHint");
const QString NoSessionPath = QStringLiteral("/");

const QString WatchingSessionLog = QStringLiteral("🔍 正在监听登录会话的解锁: ");
const QString NoSessionLog = QStringLiteral("⚠️ 未找到当前用户的登录会话，解锁触发不可用: ");
const QString NoDisplaySessionReason = QStringLiteral("没有图形会话");

QVariant unwrapVariant(const QVariant &value)
{
    return value.canConvert<QDBusVariant>() ? value.value<QDBusVariant>().variant() : value;
}
} // namespace

LogindSessionWatcher::LogindSessionWatcher(QDBusConnection systemBus, QObject *parent)
    : QObject(parent), m_systemBus(std::move(systemBus))
{
}

LogindSessionWatcher::~LogindSessionWatcher()
{
    stop();
}

void LogindSessionWatcher::start()
{
    if (m_started)
        return;
    m_started = true;
    findSessionById();
}

void LogindSessionWatcher::stop()
{
    if (!m_started)
        return;
    m_started = false;
    ++m_generation;
    if (!m_sessionPath.isEmpty()) {
        m_systemBus.disconnect(LogindService, m_sessionPath, PropertiesInterface, QStringLiteral("PropertiesChanged"),
                               this, SLOT(onPropertiesChanged(QString, QVariantMap)));
    }
    m_sessionPath.clear();
    m_locked.reset();
}

void LogindSessionWatcher::callLogind(const QString &path, const QString &interface, const QString &method,
                                      const QVariantList &arguments, ReplyHandler onReply)
{
    QDBusMessage call = QDBusMessage::createMethodCall(LogindService, path, interface, method);
    call.setArguments(arguments);
    auto *pending = new QDBusPendingCallWatcher(m_systemBus.asyncCall(call), this);
    const quint64 generation = m_generation;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, pending, generation, onReply = std::move(onReply)] {
                pending->deleteLater();
                if (generation == m_generation)
                    onReply(pending->reply());
            });
}

void LogindSessionWatcher::findSessionById()
{
    const QString sessionId = qEnvironmentVariable("XDG_SESSION_ID");
    if (sessionId.isEmpty()) {
        findSessionByPid();
        return;
    }
    callLogind(ManagerPath, ManagerInterface, QStringLiteral("GetSession"), {sessionId}, [this](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ReplyMessage)
            watch(reply.arguments().value(0).value<QDBusObjectPath>().path());
        else
            findSessionByPid();
    });
}

void LogindSessionWatcher::findSessionByPid()
{
    const QVariantList pid{QVariant::fromValue(quint32(getpid()))};
    callLogind(ManagerPath, ManagerInterface, QStringLiteral("GetSessionByPID"), pid, [this](const QDBusMessage &reply) {
        if (reply.type() == QDBusMessage::ReplyMessage)
            watch(reply.arguments().value(0).value<QDBusObjectPath>().path());
        else
            findDisplaySession();
    });
}

void LogindSessionWatcher::findDisplaySession()
{
    const QVariantList uid{QVariant::fromValue(quint32(getuid()))};
    callLogind(ManagerPath, ManagerInterface, QStringLiteral("GetUser"), uid, [this](const QDBusMessage &reply) {
        if (reply.type() != QDBusMessage::ReplyMessage) {
            reportNoSession(reply.errorName());
            return;
        }
        const QString userPath = reply.arguments().value(0).value<QDBusObjectPath>().path();
        const QVariantList display{UserInterface, QStringLiteral("Display")};
        callLogind(userPath, PropertiesInterface, QStringLiteral("Get"), display, [this](const QDBusMessage &reply) {
            if (reply.type() != QDBusMessage::ReplyMessage) {
                reportNoSession(reply.errorName());
                return;
            }
            // Display is a (session id, session path) pair; the path is "/" while the user has none.
            QString sessionId;
            QDBusObjectPath sessionPath;
            const QDBusArgument pair = unwrapVariant(reply.arguments().value(0)).value<QDBusArgument>();
            pair.beginStructure();
            pair >> sessionId >> sessionPath;
            pair.endStructure();
            if (sessionPath.path().isEmpty() || sessionPath.path() == NoSessionPath)
                reportNoSession(NoDisplaySessionReason);
            else
                watch(sessionPath.path());
        });
    });
}

void LogindSessionWatcher::watch(const QString &path)
{
    m_sessionPath = path;
    m_systemBus.connect(LogindService, path, PropertiesInterface, QStringLiteral("PropertiesChanged"), this,
                        SLOT(onPropertiesChanged(QString, QVariantMap)));
    Log::write(WatchingSessionLog + path);
    callLogind(path, PropertiesInterface, QStringLiteral("Get"), {SessionInterface, LockedHintProperty},
               [this](const QDBusMessage &reply) {
                   // A change that arrived first is newer than this answer.
                   if (reply.type() == QDBusMessage::ReplyMessage && !m_locked)
                       m_locked = unwrapVariant(reply.arguments().value(0)).toBool();
               });
}

void LogindSessionWatcher::onPropertiesChanged(const QString &interface, const QVariantMap &changed)
{
    if (interface != SessionInterface || !changed.contains(LockedHintProperty))
        return;
    noteLockedHint(unwrapVariant(changed.value(LockedHintProperty)).toBool());
}

void LogindSessionWatcher::noteLockedHint(bool locked)
{
    // logind announces LockedHint only when it changes, so "unlocked" with no known earlier value is
    // an unlock too; a repeated "unlocked" is not.
    const bool wasLocked = m_locked.value_or(true);
    m_locked = locked;
    if (!locked && wasLocked)
        Q_EMIT sessionUnlocked();
}

void LogindSessionWatcher::reportNoSession(const QString &reason)
{
    Log::write(NoSessionLog + reason);
}
