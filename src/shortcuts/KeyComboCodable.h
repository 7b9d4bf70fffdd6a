#pragma once

#include "shortcuts/KeyCombo.h"

#include <QByteArray>

#include <optional>

/// The stored form of a shortcut: UTF-8 JSON holding exactly the members "keyCode" (16-bit) and
/// "modifiers" (64-bit), for example {"keyCode":37,"modifiers":1179648} for ⌘ ⇧ L.
namespace KeyComboCodable {

QByteArray encode(const KeyCombo &combo);

/// Absent unless the data is a JSON object whose two members are both whole numbers in range.
std::optional<KeyCombo> decode(const QByteArray &data);

} // namespace KeyComboCodable
