#include "gui/widgets/BusyButton.h"

#include "gui/widgets/Spinner.h"
#include "gui/widgets/SymbolIcon.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int symbolSize = 14;
constexpr qreal busyOpacity = 0.6;
} // namespace

BusyButton::BusyButton(const QString &symbolName, const QString &title, QWidget *parent)
    : QPushButton(parent), m_symbolName(symbolName), m_title(title), m_symbol(new QLabel(this)),
      m_spinner(new Spinner(symbolSize, this)), m_titleLabel(new QLabel(title, this))
{
    setCursor(Qt::PointingHandCursor);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(14, 4, 14, 4);
    row->setSpacing(6);
    for (QWidget *part : {static_cast<QWidget *>(m_symbol), static_cast<QWidget *>(m_spinner),
                          static_cast<QWidget *>(m_titleLabel)}) {
        part->setAttribute(Qt::WA_TransparentForMouseEvents);
        row->addWidget(part, 0, Qt::AlignVCenter);
    }
    m_spinner->hide();
    setAccessibleName(title);
    paintSymbol();
}

void BusyButton::setBusy(bool busy, const QString &busyTitle)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    m_symbol->setVisible(!busy);
    m_spinner->setVisible(busy);
    m_titleLabel->setText(busy && !busyTitle.isEmpty() ? busyTitle : m_title);
    setAccessibleName(m_titleLabel->text());
    if (busy) {
        auto *effect = new QGraphicsOpacityEffect(this);
        effect->setOpacity(busyOpacity);
        setGraphicsEffect(effect);
    } else {
        setGraphicsEffect(nullptr);
    }
    updateGeometry();
}

QString BusyButton::title() const
{
    return m_titleLabel->text();
}

QSize BusyButton::sizeHint() const
{
    const QSize content = layout()->sizeHint();
    return {content.width(), std::max(content.height(), QPushButton::sizeHint().height())};
}

void BusyButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange)
        paintSymbol();
    QPushButton::changeEvent(event);
}

void BusyButton::paintSymbol()
{
    m_symbol->setPixmap(SymbolIcon::pixmap(m_symbolName, symbolSize, palette().color(QPalette::ButtonText),
                                           devicePixelRatioF()));
}
