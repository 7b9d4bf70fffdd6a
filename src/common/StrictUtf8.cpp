#include "common/StrictUtf8.h"

#include <QStringDecoder>

namespace StrictUtf8 {

std::optional<QString> decode(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace StrictUtf8
