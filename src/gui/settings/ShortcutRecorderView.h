#pragma once

#include "shortcuts/KeyCombo.h"

#include <QAbstractButton>

#include <optional>

class GlobalShortcutsManager;

/// A box that shows a shortcut and records a new one: a click arms the manager's one-shot capture
/// (the box turns orange and says "按下快捷键..."), the next key press becomes the shortcut, and a
/// second click disarms it again without a change.
class ShortcutRecorderView : public QAbstractButton
{
    Q_OBJECT

public:
    static const QString recordingText;
    static const QString unsetText;
    /// The name of a key Qt has no name for.
    static const QString unnamedKey;
    static constexpr int boxWidth = 200;

    /// A combination as the desktop writes it ("Ctrl+Shift+L", "Meta+Space"): Qt's native text.
    static QString displayText(const KeyCombo &combo);

    explicit ShortcutRecorderView(GlobalShortcutsManager &manager, QWidget *parent = nullptr);
    ~ShortcutRecorderView() override;

    const std::optional<KeyCombo> &shortcut() const { return m_shortcut; }
    void setShortcut(const std::optional<KeyCombo> &shortcut);

    bool isRecording() const { return m_isRecording; }
    /// Arms or disarms the manager's capture; recordingChanged() is told before the capture is armed.
    void setRecording(bool recording);

    QSize sizeHint() const override;

Q_SIGNALS:
    /// A key press was recorded as the new shortcut.
    void shortcutChanged(const KeyCombo &shortcut);
    void recordingChanged(bool isRecording);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void recorded(const KeyCombo &combo);
    void updateText();

    GlobalShortcutsManager &m_manager;
    std::optional<KeyCombo> m_shortcut;
    bool m_isRecording = false;
};
