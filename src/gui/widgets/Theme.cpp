#include "gui/widgets/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMap>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStyle>

namespace Theme {

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor accent(const QPalette &palette)
{
    return palette.color(QPalette::Highlight);
}

QColor secondaryText(const QPalette &palette)
{
    QColor text = palette.color(QPalette::WindowText);
    text.setAlphaF(0.6);
    return text;
}

QColor controlBackground(const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Window);
    return isDark(palette) ? window.lighter(135) : window.darker(106);
}

QColor separator(const QPalette &palette)
{
    QColor text = palette.color(QPalette::WindowText);
    text.setAlphaF(0.15);
    return text;
}

QColor success(const QPalette &palette)
{
    return isDark(palette) ? QColor(0x32, 0xd7, 0x4b) : QColor(0x28, 0xa7, 0x45);
}

QColor failure(const QPalette &palette)
{
    return isDark(palette) ? QColor(0xff, 0x45, 0x3a) : QColor(0xd7, 0x26, 0x1e);
}

QColor attention(const QPalette &palette)
{
    return isDark(palette) ? QColor(0xff, 0x9f, 0x0a) : QColor(0xf0, 0x8a, 0x00);
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

void apply(QApplication &application)
{
    QFont font = application.font();
    // Chinese text falls back to a CJK family when the desktop font has no such glyphs.
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(Text::body.size);
    application.setFont(font);
    application.setStyleSheet(QStringLiteral(
        "QLineEdit { background: palette(base); border: 1px solid rgba(128, 128, 128, 0.45);"
        " border-radius: 6px; padding: 4px 8px; }"
        "QLineEdit:focus { border: 1px solid palette(highlight); }"
        "QPushButton[role=\"primary\"] { background: palette(highlight); color: palette(highlighted-text);"
        " border: none; border-radius: 6px; padding: 5px 18px; font-weight: 600; }"
        "QPushButton[role=\"primary\"]:pressed { background: palette(dark); }"
        "QPushButton[role=\"destructive\"] { background: #d7261e; color: white;"
        " border: none; border-radius: 6px; padding: 5px 18px; font-weight: 600; }"
        "QPushButton[role=\"destructive\"]:pressed { background: #a81d17; }"));
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

namespace {
QColor colour(Tone tone, const QPalette &palette)
{
    switch (tone) {
    case Tone::Secondary:
        return secondaryText(palette);
    case Tone::Accent:
        return accent(palette);
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
