#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace StrictUtf8 {

/// Decodes `bytes` as UTF-8, keeping every byte's meaning (a leading byte-order mark included).
/// Absent when the bytes are not valid UTF-8, instead of replacing the bad sequences.
std::optional<QString> decode(const QByteArray &bytes);

} // namespace StrictUtf8
