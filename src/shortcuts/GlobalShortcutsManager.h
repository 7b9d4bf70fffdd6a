#pragma once

#include "common/SharedInstance.h"
#include "shortcuts/HotKeyService.h"
#include "shortcuts/KeyCombo.h"
#include "shortcuts/KeyDownMonitor.h"

#include <QObject>

#include <array>
#include <functional>
#include <optional>

class Preferences;
struct PreferenceKey;

/// The two system-wide shortcuts, quick sign-in ("QLGN") and show the window ("SWIN"): stored under
/// "quickLoginShortcut" and "showWindowShortcut", kept registered with the desktop's hot-key service,
/// and recorded by a one-shot capture of the next key press inside the application.
class GlobalShortcutsManager : public QObject, public SharedInstance<GlobalShortcutsManager>
{
    Q_OBJECT

public:
    using RecordingCallback = std::function<void(std::optional<KeyCombo>)>;
    using HotKeyRefs = std::array<std::optional<HotKeyService::Handle>, 2>;

    static constexpr HotKeyService::HotKeyID quickLoginHotKey{fourCharCode("QLGN"), 1};
    static constexpr HotKeyService::HotKeyID showWindowHotKey{fourCharCode("SWIN"), 2};

    /// Registers whatever shortcuts are stored.
    GlobalShortcutsManager(Preferences &preferences, HotKeyService &hotKeys, KeyDownMonitor &keyDownMonitor,
                           QObject *parent = nullptr);

    /// Absent when nothing, or nothing readable, is stored. Every write ends with registerHotKeys(),
    /// and writing an absent value removes the stored key.
    std::optional<KeyCombo> quickLoginShortcut() const;
    void setQuickLoginShortcut(const std::optional<KeyCombo> &combo);
    std::optional<KeyCombo> showWindowShortcut() const;
    void setShowWindowShortcut(const std::optional<KeyCombo> &combo);

    /// Unregisters both hot keys, then registers each stored shortcut; a refused one leaves its slot
    /// of hotKeyRefs() absent. While a capture is armed nothing is registered: the application's own
    /// hot key would swallow the press it waits for. The capture's end registers them again.
    void registerHotKeys();
    /// Slot 0 the quick sign-in hot key, slot 1 the show-window hot key.
    const HotKeyRefs &hotKeyRefs() const { return m_hotKeyRefs; }
    /// Whether the desktop lets the application register hot keys at all (no on Wayland).
    bool canRegisterHotKeys() const { return m_hotKeys.canRegisterHotKeys(); }

    /// Arms a one-shot capture: the next key press inside the application is handed to `callback` as
    /// a combo (its four modifier bits only) and reaches no view. Arming again replaces the callback.
    void startRecording(RecordingCallback callback);
    /// Disarms the capture without calling the callback.
    void stopRecording();
    bool isRecording() const { return m_isRecording; }

Q_SIGNALS:
    /// The quick sign-in hot key was pressed.
    void quickLoginPressed();
    /// The show-window hot key was pressed.
    void showWindowPressed();
    /// A registration pass ended; hotKeyRefs() tells which shortcuts are live.
    void hotKeysRegistered();

private:
    std::optional<KeyCombo> storedShortcut(const PreferenceKey &key) const;
    void storeShortcut(const PreferenceKey &key, const std::optional<KeyCombo> &combo);
    void unregisterHotKeys();
    bool handleKeyDown(const KeyCombo &press);
    void dispatchHotKey(quint32 signature, quint32 id);
    void removeKeyDownMonitor();

    Preferences &m_preferences;
    HotKeyService &m_hotKeys;
    KeyDownMonitor &m_monitor;

    QMetaObject::Connection m_eventHandler;
    RecordingCallback m_recordingCallback;
    bool m_isRecording = false;
    std::optional<KeyDownMonitor::Token> m_keyDownMonitor;
    HotKeyRefs m_hotKeyRefs;
};
