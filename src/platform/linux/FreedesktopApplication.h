#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

/// One instance per session: the application owns the session-bus name equal to its desktop-file id
/// and serves org.freedesktop.Application at the path derived from it, so that launching it again
/// (from the menu, a second `netlatch`, or `gapplication launch app.netlatch.Netlatch`) reaches the
/// running instance instead of starting another, and so do the desktop entry's actions
/// (`netlatch --action quick-login`, `gapplication action app.netlatch.Netlatch quick-login`).
class FreedesktopApplication : public QObject, protected QDBusContext
{
    Q_OBJECT

public:
    static inline const QString applicationId = QStringLiteral("app.netlatch.Netlatch");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.Application");

    static inline const QString unknownActionLog = QStringLiteral("⚠️ 未知的操作: ");

    /// `actionNames` are the desktop entry's actions; ActivateAction answers any other name with an
    /// error and logs it (escaped and cut short: the caller is anyone on the session bus).
    FreedesktopApplication(QDBusConnection sessionBus, QStringList actionNames, QObject *parent = nullptr);
    ~FreedesktopApplication() override;

    /// The object path derived from the id: "/app/netlatch/Netlatch".
    static QString objectPath();

    /// Takes the name and serves the interface; false when another process owns the name (or there
    /// is no session bus, which the log says).
    bool registerService();
    /// Asks the process that owns the name to come forward (Activate), or to perform one of its
    /// actions (ActivateAction, for example "quick-login"), passing this launch's startup id; false
    /// when no instance answers. Blocks until the answer: call it before the event loop runs.
    bool activateRunningInstance(const QString &action = {});

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(const QVariantMap &platformData);
    Q_SCRIPTABLE void Open(const QStringList &uris, const QVariantMap &platformData);
    Q_SCRIPTABLE void ActivateAction(const QString &name, const QVariantList &parameter,
                                     const QVariantMap &platformData);

Q_SIGNALS:
    /// The user launched the application again.
    void activateRequested();
    /// One of the actions of the desktop entry was chosen (for example "quick-login").
    void actionRequested(const QString &name);

private:
    QDBusConnection m_bus;
    const QStringList m_actionNames;
    bool m_registered = false;
};
