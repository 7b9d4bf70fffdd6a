#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QApplication;
class QLabel;
class QPushButton;
class QWidget;

/// The look every screen shares, derived from the desktop's own light or dark palette: the accent
/// colour, the secondary text colour, the control background of cards and fields, the corner radius.
/// Widgets ask it for colours at paint time, so a palette change restyles them without a restart.
namespace Theme {

/// Point sizes of the system's text styles (title, headline, body, caption).
inline constexpr int titlePointSize = 20;
inline constexpr int headlinePointSize = 13;
inline constexpr int bodyPointSize = 11;
inline constexpr int captionPointSize = 9;
/// Corner radius of cards and fields, in device-independent pixels.
inline constexpr qreal cornerRadius = 10.0;
/// Corner radius of the filled accent buttons.
inline constexpr qreal buttonCornerRadius = 8.0;

/// Sizes of the first-run screens' text styles, in the desktop's points (device-independent pixels).
inline constexpr qreal title2Size = 17;
inline constexpr qreal headlineSize = 13;
inline constexpr qreal subheadlineSize = 11;

bool isDark(const QPalette &palette);
QColor accent(const QPalette &palette);
QColor secondaryText(const QPalette &palette);
/// The background of cards and grouped controls: slightly off the window background.
QColor controlBackground(const QPalette &palette);
QColor separator(const QPalette &palette);
QColor success(const QPalette &palette);
QColor failure(const QPalette &palette);
/// The orange of a control that is waiting for input (the shortcut recorder while armed).
QColor attention(const QPalette &palette);

/// The application's font family at `size` device-independent pixels (one point of the desktop's
/// scale each), so that a 28-point heading is 28 logical pixels high on any screen density.
QFont font(qreal size, QFont::Weight weight = QFont::Normal);
/// The colour a text takes, derived from the desktop's palette again whenever that palette changes.
enum class Tone { Primary, Secondary, Accent, OnAccent };
/// Sets a label's font and the tone of its text.
void style(QLabel *label, qreal size, QFont::Weight weight = QFont::Normal, Tone tone = Tone::Primary);
/// A one-pixel horizontal divider in the separator colour.
QWidget *divider(QWidget *parent);

/// Fades a widget that has just appeared in over the default animation time.
void fadeIn(QWidget *widget);

/// Fixed light and dark palettes, for rendering screens the same way on any machine.
QPalette lightPalette();
QPalette darkPalette();

/// Installs the application font with a CJK fallback and the stylesheet of the shared controls (rounded
/// text fields, the primary and destructive buttons of makePrimary/makeDestructive); call once after
/// creating the application.
void apply(QApplication &application);

/// Marks a push button as the screen's main action (accent background) or as a destructive one (red).
void makePrimary(QPushButton *button);
void makeDestructive(QPushButton *button);

/// Marks a label as secondary text (smaller, in the secondary colour).
void makeSecondary(QLabel *label);
/// Marks a label as a title of the given point size, bold.
void makeTitle(QLabel *label, int pointSize = titlePointSize);
/// Gives a label the given text colour (success, failure, secondary, …).
void setTextColour(QLabel *label, const QColor &colour);
/// The fixed-pitch font of logs and codes, at caption size.
QFont monospaceFont();

} // namespace Theme
