#pragma once

#include "common/NotificationCenter.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class HTTPAuthService;

/// One sign-in and its one outcome. Starting it observes "LoginSuccess" and "LoginFailed" before the
/// sign-in begins, so that an immediate outcome is not missed; the first outcome withdraws both, so
/// that the other never waits for somebody else's sign-in and reports it as this one. Destroyed
/// before an outcome, it withdraws both and reports nothing. Main thread only.
class SignInAttempt : public QObject
{
    Q_OBJECT

public:
    struct Outcome
    {
        bool succeeded = false;
        /// A failure's message from the portal, when the notification carries one as text.
        std::optional<QString> message;
    };
    /// Called once with the outcome; it may destroy the attempt (or its owner).
    using Report = std::function<void(const Outcome &outcome)>;

    SignInAttempt(HTTPAuthService &authService, NotificationCenter &center, QObject *parent = nullptr);
    ~SignInAttempt() override;

    /// Starts the sign-in with the account; `report` hears its outcome. Call once.
    void start(const QString &username, const QString &password, Report report);

private:
    void finish(const Outcome &outcome);
    void withdraw();

    HTTPAuthService &m_authService;
    NotificationCenter &m_center;
    QList<NotificationCenter::Token> m_observers;
    Report m_report;
};
