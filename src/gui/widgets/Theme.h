#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPalette>

class QApplication;
class QLabel;
class QPainter;
class QPushButton;
class QWidget;

/// The look every screen shares, derived from the desktop's own light or dark palette: the accent
/// colour, the secondary text colour, the control background of cards and fields, the corner radius,
/// the type scale. Colours are taken again whenever the palette changes, so a switch between light and
/// dark restyles every screen without a restart.
namespace Theme {

/// Corner radius of containers (cards, charts, grouped controls) and of buttons, in device-independent
/// pixels.
inline constexpr qreal cornerRadius = 8.0;
/// The least contrast of any text against the surfaces it is drawn on (WCAG AA for body text).
inline constexpr qreal minimumTextContrast = 4.5;

/// One step of the type scale: a size and a weight in the application's font family.
struct TextStyle
{
    /// Points follow the desktop's font scaling; logical pixels keep a drawn screen's proportions
    /// (a 28-pixel heading is 28 logical pixels high on any screen density).
    enum class Unit { Point, Pixel };
    qreal size;
    Unit unit;
    QFont::Weight weight = QFont::Normal;
};

/// The type scale: every text style a screen uses, by role. The settings window counts in the
/// desktop's points; the first-run screens (welcome, account setup, update log) in logical pixels.
namespace Text {
using Unit = TextStyle::Unit;
// The settings window.
inline constexpr TextStyle title{28, Unit::Point, QFont::Bold};               ///< a pane's title
inline constexpr TextStyle headline{13, Unit::Point, QFont::Bold};            ///< a card's heading
inline constexpr TextStyle body{11, Unit::Point};                             ///< the application font
inline constexpr TextStyle emphasis{11, Unit::Point, QFont::DemiBold};        ///< a row's title, a value
inline constexpr TextStyle caption{10, Unit::Point};                          ///< notes, descriptions
inline constexpr TextStyle captionEmphasis{10, Unit::Point, QFont::DemiBold}; ///< a chart's counts
inline constexpr TextStyle productName{22, Unit::Point, QFont::Bold};         ///< the About pane's name
inline constexpr TextStyle figure{24, Unit::Point, QFont::Bold};              ///< a statistic's figure
// The first-run screens.
inline constexpr TextStyle heroTitle{32, Unit::Pixel, QFont::Bold};          ///< the welcome, the name
inline constexpr TextStyle screenTitle{28, Unit::Pixel, QFont::Bold};        ///< the update log's heading
inline constexpr TextStyle formTitle{24, Unit::Pixel, QFont::Bold};          ///< the account setup's heading
inline constexpr TextStyle version{24, Unit::Pixel, QFont::DemiBold};        ///< the version by the name
inline constexpr TextStyle subtitle{20, Unit::Pixel};                        ///< the line under the welcome
inline constexpr TextStyle formHeadline{17, Unit::Pixel, QFont::DemiBold};   ///< above the account form
inline constexpr TextStyle tip{17, Unit::Pixel, QFont::Medium};              ///< a tip's main line
inline constexpr TextStyle lead{16, Unit::Pixel};                            ///< an introduction
inline constexpr TextStyle button{16, Unit::Pixel, QFont::Medium};           ///< an accent button's label
inline constexpr TextStyle sectionHeading{15, Unit::Pixel, QFont::DemiBold}; ///< an update-log section
inline constexpr TextStyle message{15, Unit::Pixel};                         ///< a page's only line
inline constexpr TextStyle itemTitle{14, Unit::Pixel, QFont::Medium};        ///< a feature's title
inline constexpr TextStyle footnote{13, Unit::Pixel};                        ///< a hint under a tip
inline constexpr TextStyle detail{12, Unit::Pixel};                          ///< field labels, explanations
} // namespace Text

bool isDark(const QPalette &palette);
/// The WCAG contrast ratio of two opaque colours (1 to 21).
qreal contrast(const QColor &a, const QColor &b);
/// The accent as a fill: the desktop's highlight, darkened where white text on it would not be legible.
QColor accent(const QPalette &palette);
/// The background of cards and grouped controls: slightly off the window background.
QColor controlBackground(const QPalette &palette);
/// The background of a selected row (the sidebar's current section): the accent, faint.
QColor selectionBackground(const QPalette &palette);
/// The surfaces text is drawn on: the window, the control background and a selected row.
QList<QColor> textSurfaces(const QPalette &palette);
QColor separator(const QPalette &palette);
// Text colours, each legible (minimumTextContrast) on every surface of textSurfaces().
QColor secondaryText(const QPalette &palette);
QColor accentText(const QPalette &palette);
QColor success(const QPalette &palette);
QColor failure(const QPalette &palette);
/// The orange of a control that is waiting for input (the shortcut recorder while armed).
QColor attention(const QPalette &palette);

/// Fills a container (a card, a chart, a grouped control): the control background, rounded by
/// cornerRadius, without a border; every container of the program looks like this.
void paintContainer(QPainter &painter, const QRectF &rect, const QPalette &palette);

/// The colours a widget takes from the desktop's palette, by role: Primary is the palette's own text
/// colour, the others are the colours above (OnAccent is the white of text on the accent colour).
enum class Tone {
    Primary,
    Secondary,
    Accent,
    OnAccent,
    Success,
    Failure,
    Attention,
    Separator,
    ControlBackground
};
/// The tones that colour text.
inline constexpr Tone textTones[] = {Tone::Primary, Tone::Secondary, Tone::Accent,
                                     Tone::Success, Tone::Failure,   Tone::Attention};
/// The colour of `tone` in `palette`.
QColor colour(Tone tone, const QPalette &palette);

/// The application's font family in `style`.
QFont font(const TextStyle &style);
/// The fixed-pitch font of logs and codes, at caption size.
QFont monospaceFont();

/// Gives a label's text the colour of `tone`, taken from the palette around it now and again whenever
/// that palette changes (the desktop switching between light and dark); a later call changes the tone.
void setTextTone(QLabel *label, Tone tone);
/// The same for a widget's background (it fills it only with autoFillBackground).
void setBackgroundTone(QWidget *widget, Tone tone);
/// Sets a label's font and, unless the tone is Primary (the colour any text has there), its tone.
void style(QLabel *label, const TextStyle &style, Tone tone = Tone::Primary);
/// A one-pixel horizontal divider in the separator colour.
QWidget *divider(QWidget *parent);

/// Fades a widget that has just appeared in over the default animation time.
void fadeIn(QWidget *widget);

/// Fixed light and dark palettes, for rendering screens the same way on any machine.
QPalette lightPalette();
QPalette darkPalette();

/// Installs the application font with a CJK fallback and the stylesheet of the shared controls (rounded
/// text fields with a normal-width password bullet, one push-button style with the primary and
/// destructive variants of makePrimary/makeDestructive, scrollbars that show); the stylesheet is made
/// anew whenever the application palette changes. Call once after creating the application.
void apply(QApplication &application);

/// Marks a push button as the screen's main action (accent background) or as a destructive one (red).
void makePrimary(QPushButton *button);
void makeDestructive(QPushButton *button);

} // namespace Theme
