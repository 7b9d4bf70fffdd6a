#include "common/StrictUtf8.h"

#include <QStringDecoder>

namespace StrictUtf8 {

std::optional<QString> decode(QByteArrayView bytes, InitialBom bom)
{
    // Stateless: a sequence cut at the end is an error rather than state kept for a next call.
    QStringConverter::Flags flags = QStringConverter::Flag::Stateless;
    if (bom == InitialBom::Keep)
        flags |= QStringConverter::Flag::ConvertInitialBom;
    QStringDecoder decoder(QStringConverter::Utf8, flags);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace StrictUtf8
