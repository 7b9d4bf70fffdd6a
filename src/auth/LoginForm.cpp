#include "auth/LoginForm.h"

namespace {
const QByteArray operationField = "opr=pwdLogin";
const QByteArray userNameField = "&userName=";
const QByteArray passwordField = "&pwd=";
const QByteArray rememberField = "&rememberPwd=0";
const QByteArray maskedPassword = "***";

bool staysLiteral(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '*' ||
           c == '-' || c == '.' || c == '_';
}
} // namespace

LoginForm::LoginForm(QString username, QString password)
    : m_username(std::move(username)), m_password(std::move(password))
{
}

QByteArray LoginForm::body() const
{
    return bodyWithPassword(encode(m_password));
}

QString LoginForm::maskedBody() const
{
    return QString::fromUtf8(bodyWithPassword(maskedPassword));
}

QByteArray LoginForm::encode(const QString &value)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    const QByteArray utf8 = value.toUtf8();
    QByteArray encoded;
    encoded.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        if (staysLiteral(c)) {
            encoded += c;
        } else if (c == ' ') {
            encoded += '+';
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += hexDigits[byte >> 4];
            encoded += hexDigits[byte & 0x0F];
        }
    }
    return encoded;
}

QByteArray LoginForm::bodyWithPassword(const QByteArray &encodedPassword) const
{
    return operationField + userNameField + encode(m_username) + passwordField + encodedPassword +
           rememberField;
}
