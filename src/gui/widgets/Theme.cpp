#include "gui/widgets/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMap>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <cmath>

namespace Theme {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

namespace {
qreal luminance(const QColor &colour)
{
    const auto linear = [](qreal v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

// `colour` with its transparency resolved over `background`.
QColor over(const QColor &colour, const QColor &background)
{
    const qreal a = colour.alphaF();
    return QColor::fromRgbF(float(colour.redF() * a + background.redF() * (1 - a)),
                            float(colour.greenF() * a + background.greenF() * (1 - a)),
                            float(colour.blueF() * a + background.blueF() * (1 - a)));
}

// `colour`, made darker (on light surfaces) or lighter (on dark ones) until it reaches the minimum
// contrast on each of `surfaces`.
QColor legible(QColor colour, const QList<QColor> &surfaces, bool darkSurfaces)
{
    const auto enough = [&] {
        return std::all_of(surfaces.cbegin(), surfaces.cend(), [&](const QColor &surface) {
            return contrast(colour, surface) >= minimumTextContrast;
        });
    };
    for (int step = 0; step < 60 && !enough(); ++step)
        colour = darkSurfaces ? colour.lighter(106) : colour.darker(106);
    return colour;
}

QColor legibleText(const QColor &colour, const QPalette &palette)
{
    return legible(colour, textSurfaces(palette), isDark(palette));
}
} // namespace

qreal contrast(const QColor &a, const QColor &b)
{
    const qreal first = luminance(a), second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor accent(const QPalette &palette)
{
    return legible(palette.color(QPalette::Highlight), {Qt::white}, false);
}

QColor controlBackground(const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Window);
    return isDark(palette) ? window.lighter(135) : window.darker(106);
}

QColor selectionBackground(const QPalette &palette)
{
    QColor tint = palette.color(QPalette::Highlight);
    tint.setAlphaF(0.2);
    return over(tint, palette.color(QPalette::Window));
}

QList<QColor> textSurfaces(const QPalette &palette)
{
    return {palette.color(QPalette::Window), controlBackground(palette), selectionBackground(palette)};
}

QColor separator(const QPalette &palette)
{
    QColor text = palette.color(QPalette::WindowText);
    text.setAlphaF(0.15);
    return text;
}

QColor secondaryText(const QPalette &palette)
{
    QColor text = palette.color(QPalette::WindowText);
    text.setAlphaF(0.6);
    return legibleText(over(text, palette.color(QPalette::Window)), palette);
}

QColor accentText(const QPalette &palette)
{
    return legibleText(palette.color(QPalette::Highlight), palette);
}

QColor success(const QPalette &palette)
{
    return legibleText(isDark(palette) ? QColor(0x32, 0xd7, 0x4b) : QColor(0x28, 0xa7, 0x45), palette);
}

QColor failure(const QPalette &palette)
{
    return legibleText(isDark(palette) ? QColor(0xff, 0x45, 0x3a) : QColor(0xd7, 0x26, 0x1e), palette);
}

QColor attention(const QPalette &palette)
{
    return legibleText(isDark(palette) ? QColor(0xff, 0x9f, 0x0a) : QColor(0xf0, 0x8a, 0x00), palette);
}

void paintContainer(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(controlBackground(palette));
    painter.drawRoundedRect(rect, cornerRadius, cornerRadius);
    painter.restore();
}

namespace {
QPalette makePalette(QColor window, QColor base, QColor text, QColor button, QColor highlight)
{
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    QColor placeholder = text;
    placeholder.setAlphaF(0.45);
    palette.setColor(QPalette::PlaceholderText, placeholder);
    QColor disabled = text;
    disabled.setAlphaF(0.35);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}
} // namespace

QPalette lightPalette()
{
    return makePalette(QColor(0xf5, 0xf5, 0xf7), Qt::white, QColor(0x1d, 0x1d, 0x1f), QColor(0xfb, 0xfb, 0xfd),
                       QColor(0x0a, 0x6c, 0xe0));
}

QPalette darkPalette()
{
    return makePalette(QColor(0x23, 0x23, 0x26), QColor(0x1b, 0x1b, 0x1d), QColor(0xf2, 0xf2, 0xf7),
                       QColor(0x3a, 0x3a, 0x3e), QColor(0x2f, 0x86, 0xf5));
}

namespace {
QString css(const QColor &colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alphaF(), 0, 'f', 2);
}

// One rule set for a filled push button: `fill` normally, a shade darker when hovered and pressed.
// A filled button in `fill` has no border of its own, and its focus ring in the text colour.
QString buttonRules(const QString &selector, const QColor &fill, const QColor &text, bool filled)
{
    return QStringLiteral("%1 { background: %2; color: %3; }"
                          "%1:hover { background: %4; }"
                          "%1:pressed { background: %5; }")
               .arg(selector, css(fill), css(text), css(fill.darker(108)), css(fill.darker(125))) +
           (filled ? QStringLiteral("%1 { border-color: %2; } %1:focus { border-color: %3; }")
                         .arg(selector, css(fill), css(text))
                   : QString());
}

QString styleSheet(const QPalette &palette)
{
    const QColor text = palette.color(QPalette::WindowText);
    QColor border = text;
    border.setAlphaF(0.25);
    QColor handle = text;
    handle.setAlphaF(isDark(palette) ? 0.45 : 0.4);
    QColor handleHover = text;
    handleHover.setAlphaF(0.6);
    QColor disabledFill = palette.color(QPalette::Button);
    disabledFill.setAlphaF(0.5);
    const QColor destructive = legible(failure(palette), {Qt::white}, false);
    return QStringLiteral(
               "QLineEdit { background: palette(base); border: 1px solid %1; border-radius: 6px;"
               " padding: 4px 8px; lineedit-password-character: 8226; }"
               "QLineEdit:focus { border: 1px solid %2; }"
               // The bullets from the desktop's Latin sans-serif face: a CJK face draws them full-width.
               "QLineEdit[echoMode=\"2\"] { font-family: sans-serif; }"
               // Every push button: 1 px border, 2 px in the accent when it has the keyboard focus.
               "QPushButton { border: 1px solid %1; border-radius: 8px; padding: 5px 16px;"
               " min-height: 18px; }"
               "QPushButton:default { border: 1px solid %2; }"
               "QPushButton:focus { border: 2px solid %2; padding: 4px 15px; }"
               "QPushButton:disabled { background: %3; color: %4; }"
               "QPushButton[role=\"primary\"], QPushButton[role=\"destructive\"] { font-weight: 600; }"
               "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }"
               "QScrollBar:horizontal { background: transparent; height: 10px; margin: 2px; }"
               "QScrollBar::handle { background: %5; border-radius: 3px; }"
               "QScrollBar::handle:hover, QScrollBar::handle:pressed { background: %6; }"
               "QScrollBar::handle:vertical { min-height: 24px; }"
               "QScrollBar::handle:horizontal { min-width: 24px; }"
               "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }"
               "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
               .arg(css(border), css(accent(palette)), css(disabledFill),
                    css(palette.color(QPalette::Disabled, QPalette::ButtonText)), css(handle),
                    css(handleHover)) +
           buttonRules(QStringLiteral("QPushButton:enabled"), palette.color(QPalette::Button),
                       palette.color(QPalette::ButtonText), false) +
           buttonRules(QStringLiteral("QPushButton[role=\"primary\"]:enabled"), accent(palette), Qt::white,
                       true) +
           buttonRules(QStringLiteral("QPushButton[role=\"destructive\"]:enabled"), destructive, Qt::white,
                       true);
}

// Makes the application stylesheet anew from the palette whenever the palette changes.
class StyleSheetKeeper : public QObject
{
public:
    explicit StyleSheetKeeper(QApplication &application) : QObject(&application), m_application(application)
    {
        application.installEventFilter(this);
        apply();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_application && event->type() == QEvent::ApplicationPaletteChange)
            apply();
        return false;
    }

private:
    void apply()
    {
        const QString sheet = styleSheet(QApplication::palette());
        if (sheet != m_application.styleSheet())
            m_application.setStyleSheet(sheet);
    }

    QApplication &m_application;
};
} // namespace

void apply(QApplication &application)
{
    QFont font = application.font();
    // Chinese text falls back to a CJK family when the desktop font has no such glyphs.
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(Text::body.size);
    application.setFont(font);
    new StyleSheetKeeper(application);
}

QFont font(const TextStyle &style)
{
    QFont font = QApplication::font();
    if (style.unit == TextStyle::Unit::Pixel)
        font.setPixelSize(qRound(style.size));
    else
        font.setPointSizeF(style.size);
    font.setWeight(style.weight);
    return font;
}

QFont monospaceFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(Text::caption.size);
    return font;
}

QColor colour(Tone tone, const QPalette &palette)
{
    switch (tone) {
    case Tone::Secondary:
        return secondaryText(palette);
    case Tone::Accent:
        return accentText(palette);
    case Tone::OnAccent:
        return Qt::white;
    case Tone::Success:
        return success(palette);
    case Tone::Failure:
        return failure(palette);
    case Tone::Attention:
        return attention(palette);
    case Tone::Separator:
        return separator(palette);
    case Tone::ControlBackground:
        return controlBackground(palette);
    case Tone::Primary:
        break;
    }
    return palette.color(QPalette::WindowText);
}

namespace {
// The tones of one widget's palette roles, set on the widget again whenever its palette changes (the
// desktop switching between light and dark reaches it through its window): a colour set once would
// outlive the palette it was taken from. It lives as the widget's child, one per widget.
class ToneKeeper : public QObject
{
public:
    static void set(QWidget *widget, QPalette::ColorRole role, Tone tone)
    {
        ToneKeeper *keeper = nullptr;
        for (QObject *child : widget->children()) {
            if ((keeper = dynamic_cast<ToneKeeper *>(child)))
                break;
        }
        if (!keeper)
            keeper = new ToneKeeper(widget);
        keeper->m_tones.insert(role, tone);
        keeper->apply();
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
            apply();
        return false;
    }

private:
    explicit ToneKeeper(QWidget *widget) : QObject(widget), m_widget(widget)
    {
        widget->installEventFilter(this);
    }

    void apply()
    {
        // The palette the widget would have without colours of its own: its parent's, or the desktop's.
        const QPalette surroundings =
            m_widget->parentWidget() ? m_widget->parentWidget()->palette() : QApplication::palette(m_widget);
        QPalette palette = m_widget->palette();
        for (auto it = m_tones.cbegin(); it != m_tones.cend(); ++it)
            palette.setColor(it.key(), colour(it.value(), surroundings));
        m_widget->setPalette(palette);
    }

    QWidget *m_widget;
    QMap<QPalette::ColorRole, Tone> m_tones;
};
} // namespace

void setTextTone(QLabel *label, Tone tone)
{
    // Inside a button a label would otherwise draw in the button's text colour.
    label->setForegroundRole(QPalette::WindowText);
    ToneKeeper::set(label, QPalette::WindowText, tone);
}

void setBackgroundTone(QWidget *widget, Tone tone)
{
    ToneKeeper::set(widget, QPalette::Window, tone);
}

void style(QLabel *label, const TextStyle &style, Tone tone)
{
    label->setFont(font(style));
    if (tone != Tone::Primary)
        setTextTone(label, tone);
}

void fadeIn(QWidget *widget)
{
    constexpr std::chrono::milliseconds defaultAnimation{350};
    auto *effect = new QGraphicsOpacityEffect(widget);
    widget->setGraphicsEffect(effect);
    auto *animation = new QPropertyAnimation(effect, "opacity", widget);
    animation->setDuration(int(defaultAnimation.count()));
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    // The effect only costs while it lives: drop it once the widget is fully shown.
    QObject::connect(animation, &QPropertyAnimation::finished, widget,
                     [widget, effect] {
                         if (widget->graphicsEffect() == effect)
                             widget->setGraphicsEffect(nullptr);
                     });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QWidget *divider(QWidget *parent)
{
    auto *line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    setBackgroundTone(line, Tone::Separator);
    return line;
}

namespace {
/// A style sheet matches a property only when the widget is polished after the property was set.
void repolish(QWidget *widget)
{
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}
} // namespace

void makePrimary(QPushButton *button)
{
    button->setProperty("role", QStringLiteral("primary"));
    button->setCursor(Qt::PointingHandCursor);
    repolish(button);
}

void makeDestructive(QPushButton *button)
{
    button->setProperty("role", QStringLiteral("destructive"));
    button->setCursor(Qt::PointingHandCursor);
    repolish(button);
}

} // namespace Theme
