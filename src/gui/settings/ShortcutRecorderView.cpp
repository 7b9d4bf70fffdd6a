#include "gui/settings/ShortcutRecorderView.h"

#include "gui/widgets/Theme.h"
#include "shortcuts/GlobalShortcutsManager.h"

#include <QKeySequence>
#include <QPainter>
#include <QPointer>

const QString ShortcutRecorderView::recordingText = QStringLiteral("按下快捷键...");
const QString ShortcutRecorderView::unsetText = QStringLiteral("未设置");
const QString ShortcutRecorderView::unnamedKey = QStringLiteral("Key");

namespace {
constexpr int horizontalMargin = 12;
constexpr int verticalMargin = 6;
constexpr qreal cornerRadius = 6;
constexpr qreal recordingBorder = 2;
constexpr qreal recordingFillAlpha = 0.2;
} // namespace

QString ShortcutRecorderView::displayText(const KeyCombo &combo)
{
    const QKeyCombination combination = combo.keyCombination();
    if (combination.key() != Qt::Key_unknown)
        return QKeySequence(combination).toString(QKeySequence::NativeText);
    // Qt writes the modifiers alone as "Ctrl+Shift+"; the key gets the name of a key without one.
    return QKeySequence(QKeyCombination::fromCombined(combination.keyboardModifiers().toInt()))
               .toString(QKeySequence::NativeText) +
           unnamedKey;
}

ShortcutRecorderView::ShortcutRecorderView(GlobalShortcutsManager &manager, QWidget *parent)
    : QAbstractButton(parent), m_manager(manager)
{
    setFixedWidth(boxWidth);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::clicked, this, [this] { setRecording(!m_isRecording); });
    updateText();
}

ShortcutRecorderView::~ShortcutRecorderView()
{
    // The manager must not call back into a recorder that is gone.
    if (m_isRecording)
        m_manager.stopRecording();
}

void ShortcutRecorderView::setShortcut(const std::optional<KeyCombo> &shortcut)
{
    m_shortcut = shortcut;
    updateText();
}

void ShortcutRecorderView::setRecording(bool recording)
{
    if (recording == m_isRecording)
        return;
    m_isRecording = recording;
    updateText();
    // Told first, so that a recorder beside this one can give up the capture before this one arms it.
    Q_EMIT recordingChanged(recording);
    if (!recording) {
        m_manager.stopRecording();
        return;
    }
    m_manager.startRecording([self = QPointer<ShortcutRecorderView>(this)](std::optional<KeyCombo> combo) {
        // The capture runs inside key event delivery; the recorder changes on the next turn instead.
        if (self && combo)
            QMetaObject::invokeMethod(
                self.data(), [self, combo] { self->recorded(*combo); }, Qt::QueuedConnection);
    });
}

void ShortcutRecorderView::recorded(const KeyCombo &combo)
{
    setShortcut(combo);
    setRecording(false);
    Q_EMIT shortcutChanged(combo);
}

void ShortcutRecorderView::updateText()
{
    setText(m_isRecording ? recordingText : m_shortcut ? displayText(*m_shortcut) : unsetText);
    update();
}

QSize ShortcutRecorderView::sizeHint() const
{
    return {boxWidth, fontMetrics().height() + 2 * verticalMargin};
}

void ShortcutRecorderView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = palette();
    if (!isEnabled())
        painter.setOpacity(0.5);
    const QRectF box = QRectF(rect()).adjusted(recordingBorder / 2, recordingBorder / 2, -recordingBorder / 2,
                                               -recordingBorder / 2);
    if (m_isRecording) {
        QColor fill = Theme::attention(colours);
        fill.setAlphaF(recordingFillAlpha);
        painter.setBrush(fill);
        painter.setPen(QPen(Theme::attention(colours), recordingBorder));
    } else {
        // The field colour: the box sits on a card, which already has the control background.
        painter.setBrush(colours.color(QPalette::Base));
        painter.setPen(Qt::NoPen);
    }
    painter.drawRoundedRect(box, cornerRadius, cornerRadius);

    const bool primary = !m_isRecording && m_shortcut;
    painter.setPen(primary ? colours.color(QPalette::WindowText) : Theme::secondaryText(colours));
    painter.drawText(rect().adjusted(horizontalMargin, verticalMargin, -horizontalMargin, -verticalMargin),
                     Qt::AlignCenter, text());
}
