#include "gui/settings/SettingsWindowView.h"

#include "gui/AppContext.h"
#include "gui/settings/AboutSettingsView.h"
#include "gui/settings/AutoLoginSettingsView.h"
#include "gui/settings/GeneralSettingsView.h"
#include "gui/settings/ShortcutsSettingsView.h"
#include "gui/settings/SidebarRow.h"
#include "gui/settings/StatisticsView.h"
#include "gui/widgets/Theme.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
const QString settingsTitle = QStringLiteral("设置");
}

SettingsWindowView::SettingsWindowView(AppContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_rows(new QButtonGroup(this)), m_panes(new QStackedWidget(this))
{
    setWindowTitle(settingsTitle);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(createSidebar());
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFixedWidth(1);
    divider->setStyleSheet(
        QStringLiteral("color: %1;").arg(Theme::separator(palette()).name(QColor::HexArgb)));
    layout->addWidget(divider);
    for (std::size_t i = 0; i < SettingsSections::all.size(); ++i)
        m_panes->addWidget(new QWidget); // stands in for the pane until it is first selected
    layout->addWidget(m_panes, 1);
    resize(defaultSize);
    setSelectedSection(SettingsSection::general);

    m_aboutObserver =
        m_context.notifications.addObserver(Notifications::SwitchToAboutSection, [this](const QVariantMap &) {
            setSelectedSection(SettingsSection::about);
        });
    m_generalObserver =
        m_context.notifications.addObserver(Notifications::SwitchToGeneralSection, [this](const QVariantMap &) {
            setSelectedSection(SettingsSection::general);
        });
}

SettingsWindowView::~SettingsWindowView()
{
    m_context.notifications.removeObserver(m_aboutObserver);
    m_context.notifications.removeObserver(m_generalObserver);
}

void SettingsWindowView::setSelectedSection(SettingsSection section)
{
    m_selectedSection = section;
    m_rows->button(int(section))->setChecked(true);
    m_panes->setCurrentWidget(pane(section));
}

QWidget *SettingsWindowView::pane(SettingsSection section)
{
    const int index = int(section);
    if (!m_built.at(index)) {
        m_built.at(index) = true;
        QWidget *placeholder = m_panes->widget(index);
        m_panes->insertWidget(index, createPane(section));
        m_panes->removeWidget(placeholder);
        delete placeholder;
    }
    return m_panes->widget(index);
}

QWidget *SettingsWindowView::createSidebar()
{
    auto *sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setFixedWidth(sidebarWidth);
    sidebar->setAutoFillBackground(true);
    Theme::setBackgroundTone(sidebar, Theme::Tone::ControlBackground);

    auto *column = new QVBoxLayout(sidebar);
    column->setContentsMargins(10, 16, 10, 12);
    column->setSpacing(4);
    for (const SettingsSection section : SettingsSections::all) {
        auto *row = new SidebarRow(SettingsSections::iconName(section), SettingsSections::title(section),
                                   SidebarRow::Kind::section, sidebar);
        row->setObjectName(QStringLiteral("sidebarRow%1").arg(int(section)));
        m_rows->addButton(row, int(section));
        column->addWidget(row);
    }
    connect(m_rows, &QButtonGroup::idClicked, this,
            [this](int id) { setSelectedSection(SettingsSection(id)); });
    column->addStretch(1);
    auto *quitRow =
        new SidebarRow(QStringLiteral("power"), quitTitle, SidebarRow::Kind::destructive, sidebar);
    quitRow->setObjectName(QStringLiteral("quitRow"));
    connect(quitRow, &QAbstractButton::clicked, this, [this] { m_context.quit(); });
    column->addWidget(quitRow);
    return sidebar;
}

QWidget *SettingsWindowView::createPane(SettingsSection section)
{
    switch (section) {
    case SettingsSection::general:
        return new GeneralSettingsView(m_context);
    case SettingsSection::shortcuts:
        Q_ASSERT(m_context.shortcuts);
        return new ShortcutsSettingsView(*m_context.shortcuts);
    case SettingsSection::autoLogin:
        return new AutoLoginSettingsView(m_context);
    case SettingsSection::statistics:
        return new StatisticsView(m_context.statistics);
    case SettingsSection::about:
        return new AboutSettingsView();
    }
    return nullptr;
}
