#include "gui/widgets/SegmentedControl.h"

#include "gui/widgets/Theme.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
// Screen readers meet the control as a tab list named by its selected segment.
class SegmentedControlAccessible : public QAccessibleWidget
{
public:
    explicit SegmentedControlAccessible(SegmentedControl *control)
        : QAccessibleWidget(control, QAccessible::PageTabList)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        const auto *control = static_cast<const SegmentedControl *>(widget());
        if (kind == QAccessible::Name && control->accessibleName().isEmpty())
            return control->title(control->currentIndex());
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *accessibleFactory(const QString &, QObject *object)
{
    auto *control = qobject_cast<SegmentedControl *>(object);
    return control ? new SegmentedControlAccessible(control) : nullptr;
}

void installAccessibleFactory()
{
    QAccessible::installFactory(accessibleFactory);
}
} // namespace

// Before any control exists: an interface made for it is kept for its lifetime.
Q_CONSTRUCTOR_FUNCTION(installAccessibleFactory)

SegmentedControl::SegmentedControl(const QStringList &titles, QWidget *parent)
    : QWidget(parent), m_titles(titles)
{
    // An interface asked for while the widget was still a plain QWidget (under construction) is
    // replaced by the control's own.
    if (QAccessible::isActive()) {
        QAccessibleInterface *early = QAccessible::queryAccessibleInterface(this);
        if (early && early->role() != QAccessible::PageTabList)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(early));
    }
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == m_current)
        return;
    m_current = index;
    update();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
    Q_EMIT currentIndexChanged(index);
}

QRect SegmentedControl::segmentRect(int index) const
{
    const int inner = width() - 4;
    const int left = 2 + inner * index / count();
    const int right = 2 + inner * (index + 1) / count();
    return {left, 2, right - left, height() - 4};
}

QSize SegmentedControl::sizeHint() const
{
    int widest = 0;
    for (const QString &title : m_titles)
        widest = std::max(widest, fontMetrics().horizontalAdvance(title));
    return {(widest + 28) * int(count()), fontMetrics().height() + 12};
}

void SegmentedControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Theme::paintContainer(painter, rect(), palette());

    const QColor text = palette().color(QPalette::WindowText);
    for (int i = 0; i < count(); ++i) {
        const QRect segment = segmentRect(i);
        if (i == m_current) {
            painter.setPen(QPen(Theme::separator(palette()), 0.5));
            painter.setBrush(Theme::isDark(palette()) ? palette().color(QPalette::Button).lighter(130)
                                                      : palette().color(QPalette::Base));
            painter.drawRoundedRect(QRectF(segment).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        } else if (i != m_current - 1 && i < count() - 1) {
            // A thin divider between two segments that are both not selected.
            painter.setPen(QPen(Theme::separator(palette()), 1));
            painter.drawLine(segment.right(), segment.top() + 5, segment.right(), segment.bottom() - 5);
        }
        QFont font = this->font();
        font.setWeight(i == m_current ? QFont::DemiBold : QFont::Normal);
        painter.setFont(font);
        painter.setPen(text);
        painter.drawText(segment, Qt::AlignCenter, m_titles.at(i));
    }
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Theme::accent(palette()), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), Theme::cornerRadius,
                                Theme::cornerRadius);
    }
}

void SegmentedControl::mousePressEvent(QMouseEvent *event)
{
    for (int i = 0; i < count(); ++i) {
        if (segmentRect(i).contains(event->position().toPoint()))
            setCurrentIndex(i);
    }
}

void SegmentedControl::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Left)
        setCurrentIndex(m_current - 1);
    else if (event->key() == Qt::Key_Right)
        setCurrentIndex(m_current + 1);
    else
        QWidget::keyPressEvent(event);
}
