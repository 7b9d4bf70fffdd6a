#pragma once

#include "common/NotificationCenter.h"
#include "gui/settings/SettingsSection.h"

#include <QWidget>

#include <array>

struct AppContext;
class QButtonGroup;
class QStackedWidget;

/// The settings screen: a sidebar of sections beside the selected pane (700 × 500). It is the last
/// screen of the main window and the content of the tray's fallback window. It starts on "通用";
/// "SwitchToAboutSection" selects "关于", "SwitchToGeneralSection" selects "通用". A pane is built when
/// it is first selected, so that the window's first frame waits for no other.
class SettingsWindowView : public QWidget
{
    Q_OBJECT

public:
    static inline const QString quitTitle = QStringLiteral("退出程序");
    static constexpr QSize defaultSize{700, 500};
    static constexpr int sidebarWidth = 200;

    explicit SettingsWindowView(AppContext &context, QWidget *parent = nullptr);
    ~SettingsWindowView() override;

    SettingsSection selectedSection() const { return m_selectedSection; }
    void setSelectedSection(SettingsSection section);
    /// The pane shown for `section`, built now if it was never selected.
    QWidget *pane(SettingsSection section);

    QSize sizeHint() const override { return defaultSize; }

private:
    QWidget *createSidebar();
    QWidget *createPane(SettingsSection section);

    AppContext &m_context;
    SettingsSection m_selectedSection = SettingsSection::general;
    QButtonGroup *m_rows;
    QStackedWidget *m_panes;
    std::array<bool, SettingsSections::all.size()> m_built{};
    NotificationCenter::Token m_aboutObserver;
    NotificationCenter::Token m_generalObserver;
};
