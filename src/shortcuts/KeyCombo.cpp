#include "shortcuts/KeyCombo.h"

#include <QStringList>

#include <array>
#include <utility>

namespace {
using Name = std::pair<quint16, const char *>;
// The keys that have a name of their own; every other key shows as "Key".
constexpr std::array<Name, 35> keyNames{{
    {0, "A"},      {1, "S"},       {2, "D"},    {3, "F"},   {4, "H"},   {5, "G"},       {6, "Z"},
    {7, "X"},      {8, "C"},       {9, "V"},    {11, "B"},  {12, "Q"},  {13, "W"},      {14, "E"},
    {15, "R"},     {16, "Y"},      {17, "T"},   {31, "O"},  {32, "U"},  {34, "I"},      {35, "P"},
    {37, "L"},     {38, "J"},      {40, "K"},   {45, "N"},  {46, "M"},  {36, "Return"}, {48, "Tab"},
    {49, "Space"}, {51, "Delete"}, {53, "Esc"}, {123, "←"}, {124, "→"}, {125, "↓"},     {126, "↑"},
}};
const QString unnamedKey = QStringLiteral("Key");

struct Symbol
{
    quint64 flag;
    const char *symbol;
    quint32 hotKeyBit;
};
// Display order and the hot-key service's bit for each modifier.
constexpr std::array<Symbol, 4> symbols{{
    {KeyCombo::command, "⌘", 0x100},
    {KeyCombo::shift, "⇧", 0x200},
    {KeyCombo::option, "⌥", 0x800},
    {KeyCombo::control, "⌃", 0x1000},
}};
} // namespace

QString KeyCombo::displayString() const
{
    QStringList parts;
    for (const Symbol &s : symbols) {
        if (modifiers & s.flag)
            parts.append(QString::fromUtf8(s.symbol));
    }
    QString name = unnamedKey;
    for (const auto &[code, text] : keyNames) {
        if (code == keyCode)
            name = QString::fromUtf8(text);
    }
    parts.append(name);
    return parts.join(QLatin1Char(' '));
}

quint32 KeyCombo::hotKeyModifiers() const
{
    quint32 bits = 0;
    for (const Symbol &s : symbols) {
        if (modifiers & s.flag)
            bits |= s.hotKeyBit;
    }
    return bits;
}
