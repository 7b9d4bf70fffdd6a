#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace StrictUtf8 {

/// What happens to a byte-order mark at the start of the bytes.
enum class InitialBom {
    Keep, ///< part of the text, so that stored bytes come back byte for byte
    Skip, ///< dropped, as text that arrives over the network is read
};

/// Decodes `bytes` as UTF-8. Absent when they are not valid UTF-8 (a sequence cut at the end
/// included), instead of replacing the bad sequences.
std::optional<QString> decode(QByteArrayView bytes, InitialBom bom = InitialBom::Keep);

} // namespace StrictUtf8
