#pragma once

#include <QByteArray>
#include <QString>

/// The sign-in form as the portal page's script posts it.
class LoginForm
{
public:
    LoginForm(QString username, QString password);

    /// The application/x-www-form-urlencoded body, UTF-8 bytes.
    QByteArray body() const;
    /// The body with the password shown as "***", for the log.
    QString maskedBody() const;

    /// Percent-encodes `value` over its UTF-8 bytes by the form rules: letters, digits and "*-._"
    /// stay, a space becomes "+", every other byte becomes %XX.
    static QByteArray encode(const QString &value);

private:
    QByteArray bodyWithPassword(const QByteArray &encodedPassword) const;

    QString m_username;
    QString m_password;
};
