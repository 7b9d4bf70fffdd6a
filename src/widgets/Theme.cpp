#include "widgets/Theme.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QPushButton>
#include <QStyle>
#include <QLabel>

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
    font.setPointSize(bodyPointSize);
    application.setFont(font);
    application.setStyleSheet(QStringLiteral(
        "QPushButton#primaryButton { background: palette(highlight); color: palette(highlighted-text);"
        " border: none; border-radius: 6px; padding: 6px 16px; font-weight: 600; }"
        "QPushButton#primaryButton:disabled { background: palette(mid); }"
        "QPushButton#primaryButton:pressed { background: palette(dark); }"
        "QPushButton[role=\"primary\"] { background: palette(highlight); color: palette(highlighted-text);"
        " border: none; border-radius: 6px; padding: 5px 18px; font-weight: 600; }"
        "QPushButton[role=\"primary\"]:pressed { background: palette(dark); }"
        "QPushButton[role=\"destructive\"] { background: #d7261e; color: white;"
        " border: none; border-radius: 6px; padding: 5px 18px; font-weight: 600; }"
        "QPushButton[role=\"destructive\"]:pressed { background: #a81d17; }"));
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

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QFont monospaceFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(captionPointSize + 1);
    return font;
}

void makeSecondary(QLabel *label)
{
    QFont font = label->font();
    font.setPointSize(captionPointSize + 1);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryText(palette));
    label->setPalette(palette);
    label->setObjectName(label->objectName().isEmpty() ? QStringLiteral("secondaryLabel") : label->objectName());
}

void makeTitle(QLabel *label, int pointSize)
{
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(true);
    label->setFont(font);
}

} // namespace Theme
