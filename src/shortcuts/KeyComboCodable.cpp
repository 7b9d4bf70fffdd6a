#include "shortcuts/KeyComboCodable.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace {
const QString keyCodeMember = QStringLiteral("keyCode");
const QString modifiersMember = QStringLiteral("modifiers");

// A JSON number that is a whole number within [0, limit].
std::optional<quint64> wholeNumber(const QJsonValue &value, double limit)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > limit || std::floor(number) != number)
        return std::nullopt;
    // Whole numbers that fit in 64 signed bits come back exactly; larger ones only as a double.
    const qint64 exact = value.toInteger(-1);
    return exact >= 0 ? quint64(exact) : quint64(number);
}
} // namespace

namespace KeyComboCodable {

QByteArray encode(const KeyCombo &combo)
{
    // Written by hand: QJsonValue holds no unsigned 64-bit number, and every flag must survive.
    return QByteArrayLiteral("{\"keyCode\":") + QByteArray::number(combo.keyCode) +
           QByteArrayLiteral(",\"modifiers\":") + QByteArray::number(combo.modifiers) + '}';
}

std::optional<KeyCombo> decode(const QByteArray &data)
{
    const QJsonDocument document = QJsonDocument::fromJson(data);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const auto keyCode = wholeNumber(object.value(keyCodeMember), std::numeric_limits<quint16>::max());
    // 2^64 itself is the first double past the range.
    const auto modifiers =
        wholeNumber(object.value(modifiersMember), std::nextafter(18446744073709551616.0, 0.0));
    if (!keyCode || !modifiers)
        return std::nullopt;
    return KeyCombo{quint16(*keyCode), *modifiers};
}

} // namespace KeyComboCodable
