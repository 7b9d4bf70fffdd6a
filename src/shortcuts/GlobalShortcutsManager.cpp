#include "shortcuts/GlobalShortcutsManager.h"

#include "shortcuts/KeyComboCodable.h"
#include "store/Preferences.h"

GlobalShortcutsManager::GlobalShortcutsManager(Preferences &preferences, HotKeyService &hotKeys,
                                               KeyDownMonitor &keyDownMonitor, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_hotKeys(hotKeys), m_monitor(keyDownMonitor)
{
    m_eventHandler =
        connect(&m_hotKeys, &HotKeyService::hotKeyPressed, this, &GlobalShortcutsManager::dispatchHotKey);
    registerHotKeys();
}

std::optional<KeyCombo> GlobalShortcutsManager::quickLoginShortcut() const
{
    return storedShortcut(PreferenceKeys::quickLoginShortcut);
}

void GlobalShortcutsManager::setQuickLoginShortcut(const std::optional<KeyCombo> &combo)
{
    storeShortcut(PreferenceKeys::quickLoginShortcut, combo);
}

std::optional<KeyCombo> GlobalShortcutsManager::showWindowShortcut() const
{
    return storedShortcut(PreferenceKeys::showWindowShortcut);
}

void GlobalShortcutsManager::setShowWindowShortcut(const std::optional<KeyCombo> &combo)
{
    storeShortcut(PreferenceKeys::showWindowShortcut, combo);
}

std::optional<KeyCombo> GlobalShortcutsManager::storedShortcut(const PreferenceKey &key) const
{
    const std::optional<QByteArray> data = m_preferences.dataValue(key);
    return data ? KeyComboCodable::decode(*data) : std::nullopt;
}

void GlobalShortcutsManager::storeShortcut(const PreferenceKey &key, const std::optional<KeyCombo> &combo)
{
    if (combo)
        m_preferences.setData(key, KeyComboCodable::encode(*combo));
    else
        m_preferences.remove(key);
    registerHotKeys();
}

void GlobalShortcutsManager::registerHotKeys()
{
    unregisterHotKeys();
    if (!m_isRecording) {
        const auto registerOne = [this](const std::optional<KeyCombo> &combo, HotKeyService::HotKeyID id) {
            return combo ? m_hotKeys.registerHotKey(combo->keyCode, combo->hotKeyModifiers(), id)
                         : std::nullopt;
        };
        m_hotKeyRefs = {registerOne(quickLoginShortcut(), quickLoginHotKey),
                        registerOne(showWindowShortcut(), showWindowHotKey)};
    }
    Q_EMIT hotKeysRegistered();
}

void GlobalShortcutsManager::unregisterHotKeys()
{
    for (const auto &handle : m_hotKeyRefs) {
        if (handle)
            m_hotKeys.unregisterHotKey(*handle);
    }
    m_hotKeyRefs = {};
}

void GlobalShortcutsManager::dispatchHotKey(quint32 signature, quint32 id)
{
    if (signature == quickLoginHotKey.signature && id == quickLoginHotKey.id)
        Q_EMIT quickLoginPressed();
    else if (signature == showWindowHotKey.signature && id == showWindowHotKey.id)
        Q_EMIT showWindowPressed();
}

void GlobalShortcutsManager::startRecording(RecordingCallback callback)
{
    const bool wasRecording = m_isRecording;
    m_isRecording = true;
    m_recordingCallback = std::move(callback);
    // One monitor at a time: a second arming replaces the first instead of stacking monitors.
    removeKeyDownMonitor();
    m_keyDownMonitor = m_monitor.addMonitor([this](const KeyCombo &press) { return handleKeyDown(press); });
    if (!wasRecording)
        registerHotKeys();
}

void GlobalShortcutsManager::stopRecording()
{
    const bool wasRecording = m_isRecording;
    m_isRecording = false;
    removeKeyDownMonitor();
    m_recordingCallback = nullptr;
    if (wasRecording)
        registerHotKeys();
}

bool GlobalShortcutsManager::handleKeyDown(const KeyCombo &press)
{
    if (!m_isRecording)
        return false;
    m_isRecording = false;
    removeKeyDownMonitor();
    const RecordingCallback callback = std::exchange(m_recordingCallback, nullptr);
    registerHotKeys();
    if (callback)
        callback(KeyCombo{press.keyCode, press.modifiers & KeyCombo::modifierMask});
    return true;
}

void GlobalShortcutsManager::removeKeyDownMonitor()
{
    if (m_keyDownMonitor)
        m_monitor.removeMonitor(*m_keyDownMonitor);
    m_keyDownMonitor.reset();
}
