#include "shortcuts/KeyCombo.h"

#include "shortcuts/KeyPositions.h"

#include <array>

namespace {
struct Name
{
    quint16 keyCode;
    int key; // Qt's key, with Qt::KeypadModifier for the keys of the numeric keypad
};
// The key each position carries on a US keyboard, by the stored key code (KeyPositions); positions
// of keys Qt has no name for (media keys, the Japanese extra keys) are absent.
constexpr int pad = Qt::KeypadModifier;
// clang-format off
constexpr std::array<Name, 104> names{{
    {0, Qt::Key_A}, {1, Qt::Key_S}, {2, Qt::Key_D}, {3, Qt::Key_F}, {4, Qt::Key_H}, {5, Qt::Key_G},
    {6, Qt::Key_Z}, {7, Qt::Key_X}, {8, Qt::Key_C}, {9, Qt::Key_V}, {11, Qt::Key_B}, {12, Qt::Key_Q},
    {13, Qt::Key_W}, {14, Qt::Key_E}, {15, Qt::Key_R}, {16, Qt::Key_Y}, {17, Qt::Key_T}, {31, Qt::Key_O},
    {32, Qt::Key_U}, {34, Qt::Key_I}, {35, Qt::Key_P}, {37, Qt::Key_L}, {38, Qt::Key_J}, {40, Qt::Key_K},
    {45, Qt::Key_N}, {46, Qt::Key_M},
    {18, Qt::Key_1}, {19, Qt::Key_2}, {20, Qt::Key_3}, {21, Qt::Key_4}, {23, Qt::Key_5}, {22, Qt::Key_6},
    {26, Qt::Key_7}, {28, Qt::Key_8}, {25, Qt::Key_9}, {29, Qt::Key_0},
    {24, Qt::Key_Equal}, {27, Qt::Key_Minus}, {30, Qt::Key_BracketRight}, {33, Qt::Key_BracketLeft},
    {39, Qt::Key_Apostrophe}, {41, Qt::Key_Semicolon}, {42, Qt::Key_Backslash}, {43, Qt::Key_Comma},
    {44, Qt::Key_Slash}, {47, Qt::Key_Period}, {50, Qt::Key_QuoteLeft},
    {36, Qt::Key_Return}, {48, Qt::Key_Tab}, {49, Qt::Key_Space}, {51, Qt::Key_Backspace},
    {53, Qt::Key_Escape}, {110, Qt::Key_Menu}, {114, Qt::Key_Insert}, {115, Qt::Key_Home},
    {116, Qt::Key_PageUp}, {117, Qt::Key_Delete}, {119, Qt::Key_End}, {121, Qt::Key_PageDown},
    {123, Qt::Key_Left}, {124, Qt::Key_Right}, {125, Qt::Key_Down}, {126, Qt::Key_Up},
    {122, Qt::Key_F1}, {120, Qt::Key_F2}, {99, Qt::Key_F3}, {118, Qt::Key_F4}, {96, Qt::Key_F5},
    {97, Qt::Key_F6}, {98, Qt::Key_F7}, {100, Qt::Key_F8}, {101, Qt::Key_F9}, {109, Qt::Key_F10},
    {103, Qt::Key_F11}, {111, Qt::Key_F12}, {105, Qt::Key_F13}, {107, Qt::Key_F14}, {113, Qt::Key_F15},
    {106, Qt::Key_F16}, {64, Qt::Key_F17}, {79, Qt::Key_F18}, {80, Qt::Key_F19}, {90, Qt::Key_F20},
    {82, pad | Qt::Key_0}, {83, pad | Qt::Key_1}, {84, pad | Qt::Key_2}, {85, pad | Qt::Key_3},
    {86, pad | Qt::Key_4}, {87, pad | Qt::Key_5}, {88, pad | Qt::Key_6}, {89, pad | Qt::Key_7},
    {91, pad | Qt::Key_8}, {92, pad | Qt::Key_9}, {65, pad | Qt::Key_Period}, {67, pad | Qt::Key_Asterisk},
    {69, pad | Qt::Key_Plus}, {75, pad | Qt::Key_Slash}, {76, pad | Qt::Key_Enter}, {78, pad | Qt::Key_Minus},
    {81, pad | Qt::Key_Equal}, {95, pad | Qt::Key_Comma},
    {10, Qt::Key_Less}, {KeyPositions::unmappedBase + 99, Qt::Key_Print}, // the ISO key beside Z, evdev KEY_SYSRQ
    {KeyPositions::unmappedBase + 119, Qt::Key_Pause},                   // evdev KEY_PAUSE
}};
// clang-format on

struct Modifier
{
    quint64 flag;
    Qt::KeyboardModifier qt;
    quint32 hotKeyBit;
};
// Qt's modifier and the hot-key service's bit for each stored modifier.
constexpr std::array<Modifier, 4> modifiers{{
    {KeyCombo::command, Qt::ControlModifier, 0x100},
    {KeyCombo::shift, Qt::ShiftModifier, 0x200},
    {KeyCombo::option, Qt::AltModifier, 0x800},
    {KeyCombo::control, Qt::MetaModifier, 0x1000},
}};
} // namespace

QKeyCombination KeyCombo::keyCombination() const
{
    int combination = Qt::Key_unknown;
    for (const Name &name : names) {
        if (name.keyCode == keyCode)
            combination = name.key;
    }
    for (const Modifier &m : ::modifiers) {
        if (modifiers & m.flag)
            combination |= m.qt;
    }
    return QKeyCombination::fromCombined(combination);
}

quint32 KeyCombo::hotKeyModifiers() const
{
    quint32 bits = 0;
    for (const Modifier &m : ::modifiers) {
        if (modifiers & m.flag)
            bits |= m.hotKeyBit;
    }
    return bits;
}
