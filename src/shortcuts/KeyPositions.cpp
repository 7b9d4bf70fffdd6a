#include "shortcuts/KeyPositions.h"

#include <array>

namespace {
struct Position
{
    quint16 keyCode; // the Mac's virtual key code
    quint16 evdev;
};

// One row per key position that both sides know, in the Mac's key code order.
// clang-format off
constexpr std::array<Position, 120> positions{{
    {0, 30},    {1, 31},    {2, 32},    {3, 33},    {4, 35},    {5, 34},    {6, 44},    {7, 45},    // A S D F H G Z X
    {8, 46},    {9, 47},    {10, 86},   {11, 48},   {12, 16},   {13, 17},   {14, 18},   {15, 19},   // C V § B Q W E R
    {16, 21},   {17, 20},   {18, 2},    {19, 3},    {20, 4},    {21, 5},    {22, 7},    {23, 6},    // Y T 1 2 3 4 6 5
    {24, 13},   {25, 10},   {26, 8},    {27, 12},   {28, 9},    {29, 11},   {30, 27},   {31, 24},   // = 9 7 - 8 0 ] O
    {32, 22},   {33, 26},   {34, 23},   {35, 25},   {36, 28},   {37, 38},   {38, 36},   {39, 40},   // U [ I P Return L J '
    {40, 37},   {41, 39},   {42, 43},   {43, 51},   {44, 53},   {45, 49},   {46, 50},   {47, 52},   // K ; \ , / N M .
    {48, 15},   {49, 57},   {50, 41},   {51, 14},   {53, 1},                                        // Tab Space ` Delete Esc
    {54, 126},  {55, 125},  {56, 42},   {57, 58},   {58, 56},   {59, 29},   {60, 54},   {61, 100},  // right/left ⌘, ⇧, caps, ⌥, ⌃, right ⇧ ⌥
    {62, 97},   {63, 464},  {64, 187},  {65, 83},   {67, 55},   {69, 78},   {71, 69},   {72, 115},  // right ⌃, fn, F17, keypad . * + clear, volume up
    {73, 114},  {74, 113},  {75, 98},   {76, 96},   {78, 74},   {79, 188},  {80, 189},  {81, 117},  // volume down, mute, keypad / enter -, F18 F19, keypad =
    {82, 82},   {83, 79},   {84, 80},   {85, 81},   {86, 75},   {87, 76},   {88, 77},   {89, 71},   // keypad 0–7
    {90, 190},  {91, 72},   {92, 73},   {93, 124},  {94, 89},   {95, 95},   {96, 63},   {97, 64},   // F20, keypad 8 9, ¥, _, keypad ",", F5 F6
    {98, 65},   {99, 61},   {100, 66},  {101, 67},  {102, 123}, {103, 87},  {104, 122}, {105, 183}, // F7 F3 F8 F9, 英数, F11, かな, F13
    {106, 186}, {107, 184}, {109, 68},  {110, 127}, {111, 88},  {113, 185}, {114, 110}, {115, 102}, // F16 F14 F10, menu, F12 F15, help/insert, home
    {116, 104}, {117, 111}, {118, 62},  {119, 107}, {120, 60},  {121, 109}, {122, 59},  {123, 105}, // page up, forward delete, F4, end, F2, page down, F1, ←
    {124, 106}, {125, 108}, {126, 103},                                                             // → ↓ ↑
}};
// clang-format on
} // namespace

namespace KeyPositions {

std::optional<quint16> evdevCode(quint16 keyCode)
{
    if (keyCode >= unmappedBase)
        return quint16(keyCode - unmappedBase);
    for (const Position &p : positions) {
        if (p.keyCode == keyCode)
            return p.evdev;
    }
    return std::nullopt;
}

quint16 keyCode(quint16 evdevCode)
{
    for (const Position &p : positions) {
        if (p.evdev == evdevCode)
            return p.keyCode;
    }
    return quint16(unmappedBase + evdevCode);
}

} // namespace KeyPositions
