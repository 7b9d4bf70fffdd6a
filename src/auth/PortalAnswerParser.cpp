#include "auth/PortalAnswerParser.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <array>
#include <optional>

namespace PortalAnswerParser {

const QString successMessage = QStringLiteral("登录成功");
const QString failureMessage = QStringLiteral("登录失败");

namespace {
const QString successKey = QStringLiteral("success");
const QString msgKey = QStringLiteral("msg");
const QString trueText = QStringLiteral("true");
constexpr int httpOK = 200;

struct TextRule
{
    QString marker;
    bool success;
};

// Substring tests on the answer as it arrived, first match wins.
const std::array textRules{
    TextRule{QStringLiteral("'success':true"), true},
    TextRule{QStringLiteral("\"success\":true"), true},
    TextRule{QStringLiteral("'success':false"), false},
    TextRule{QStringLiteral("\"success\":false"), false},
    TextRule{QStringLiteral("成功"), true},
    TextRule{QStringLiteral("logon success"), true},
    TextRule{QStringLiteral("失败"), false},
    TextRule{QStringLiteral("错误"), false},
    TextRule{QStringLiteral("error"), false},
};

const std::array<QRegularExpression, 4> &msgPatterns()
{
    static const std::array<QRegularExpression, 4> patterns{
        QRegularExpression(QStringLiteral("'msg':'([^']+)'")),
        QRegularExpression(QStringLiteral("\"msg\":\"([^\"]+)\"")),
        QRegularExpression(QStringLiteral("'msg':\"([^\"]+)\"")),
        QRegularExpression(QStringLiteral("\"msg\":'([^']+)'")),
    };
    return patterns;
}

// The portal's object, read as JSON once single quotes become double quotes. Absent when the text is
// no such object or carries no text "msg".
std::optional<LoginOutcome> parseObject(const QString &text)
{
    if (!text.trimmed().startsWith(QLatin1Char('{')))
        return std::nullopt;
    QString json = text;
    json.replace(QLatin1Char('\''), QLatin1Char('"'));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue success = object.value(successKey);
    const QJsonValue msg = object.value(msgKey);
    if (!msg.isString())
        return std::nullopt;
    const bool succeeded =
        success.isBool()
            ? success.toBool()
            : success.isString() && success.toString().compare(trueText, Qt::CaseInsensitive) == 0;
    return LoginOutcome{succeeded, msg.toString()};
}

QString failureText(const QString &text)
{
    for (const QRegularExpression &pattern : msgPatterns()) {
        const QRegularExpressionMatch match = pattern.match(text);
        if (match.hasMatch())
            return match.captured(1);
    }
    return failureMessage;
}
} // namespace

LoginOutcome parse(const QString &text, int httpStatus)
{
    if (const std::optional<LoginOutcome> outcome = parseObject(text))
        return *outcome;
    bool success = httpStatus == httpOK;
    for (const TextRule &rule : textRules) {
        if (text.contains(rule.marker)) {
            success = rule.success;
            break;
        }
    }
    return success ? LoginOutcome{true, successMessage} : LoginOutcome{false, failureText(text)};
}

} // namespace PortalAnswerParser
