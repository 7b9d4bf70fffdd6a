#pragma once

#include <QWidget>

class GlobalShortcutsManager;
class QLabel;
class ShortcutRecorderView;

/// The "快捷键" pane of the settings window: one card per system-wide shortcut, each with its
/// recorder. A recorded shortcut is stored through the manager, which registers it at once. Where the
/// desktop lets no application register hot keys (Wayland) the pane says so, the boxes are off, and it
/// offers the commands to bind in the desktop's own keyboard settings instead, each with a copy button.
class ShortcutsSettingsView : public QWidget
{
    Q_OBJECT

public:
    static const QString title;
    static const QString waylandNote;
    static const QString desktopShortcutNote;
    static const QString copyTitle;
    static const QString refusedNote;
    static const QString quickLoginCommand;
    static const QString showWindowCommand;

    explicit ShortcutsSettingsView(GlobalShortcutsManager &shortcuts, QWidget *parent = nullptr);
    ~ShortcutsSettingsView() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Row
    {
        ShortcutRecorderView *recorder;
        QLabel *refused;
    };
    Row addShortcutCard(const QString &heading, const QString &rowTitle, const QString &description,
                        const QString &name);
    void addDesktopShortcutNote();
    void loadShortcuts();
    void updateRefusedNotes();
    void disarm();

    GlobalShortcutsManager &m_shortcuts;
    Row m_quickLogin;
    Row m_showWindow;
};
