#include "gui/widgets/AccentButton.h"

#include "gui/widgets/Spinner.h"
#include "gui/widgets/SymbolView.h"
#include "gui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace {
constexpr int symbolSize = 16;
constexpr qreal dimmedOpacity = 0.6;
} // namespace

AccentButton::AccentButton(const QString &text, const QString &symbol, QWidget *parent)
    : QAbstractButton(parent)
{
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(8);
    row->addStretch();
    if (!symbol.isEmpty()) {
        m_symbol = new SymbolView(symbol, symbolSize, this);
        m_symbol->setColour(Qt::white);
        m_spinner = new Spinner(qRound(symbolSize * 0.8), this);
        m_spinner->setColour(Qt::white);
        m_spinner->hide();
        row->addWidget(m_symbol);
        row->addWidget(m_spinner);
    }
    m_label = new QLabel(text, this);
    Theme::style(m_label, Theme::Text::button, Theme::Tone::OnAccent);
    row->addWidget(m_label);
    row->addStretch();
    for (QWidget *child : findChildren<QWidget *>())
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void AccentButton::setLabel(const QString &text)
{
    setText(text);
    m_label->setText(text);
}

void AccentButton::setBusy(bool busy)
{
    m_busy = busy;
    if (m_symbol) {
        m_symbol->setVisible(!busy);
        m_spinner->setVisible(busy);
    }
}

void AccentButton::setDimmed(bool dimmed)
{
    m_dimmed = dimmed;
    update();
}

void AccentButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = Theme::accent(palette());
    if (isDown())
        fill = fill.darker(125);
    else if (underMouse())
        fill = fill.darker(108);
    if (m_dimmed)
        fill.setAlphaF(dimmedOpacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), Theme::cornerRadius, Theme::cornerRadius);
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), Theme::cornerRadius - 1,
                                Theme::cornerRadius - 1);
    }
}
