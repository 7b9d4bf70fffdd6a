#include "gui/shell/UpdateLogView.h"

#include "common/Log.h"
#include "common/NotificationCenter.h"
#include "desktop/VersionManager.h"
#include "gui/AppContext.h"
#include "gui/shell/FeatureRow.h"
#include "gui/widgets/AccentButton.h"
#include "gui/widgets/Theme.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
const QString heading = QStringLiteral("更新日志");
const QString productName = QStringLiteral("Netlatch");
const QString continueTitle = QStringLiteral("继续");
const QString newFeatures = QStringLiteral("✨ 新功能");
const QString improvements = QStringLiteral("🔧 改进");
const QString fixes = QStringLiteral("🐛 修复");
// Each row: symbol, title, description.
const QList<QStringList> newFeatureRows{
    {QStringLiteral("chart.bar.fill"), QStringLiteral("使用统计"), QStringLiteral("查看详细的联网使用统计")}};
const QList<QStringList> improvementRows{
    {QStringLiteral("checkmark.circle.fill"), QStringLiteral("性能优化"),
     QStringLiteral("优化网络连接性能，减少超时问题")},
    {QStringLiteral("shield.fill"), QStringLiteral("安全增强"), QStringLiteral("改进VPN检测和重定向保护")},
    {QStringLiteral("bell.fill"), QStringLiteral("通知优化"), QStringLiteral("优化系统通知体验")}};
const QList<QStringList> fixRows{
    {QStringLiteral("wifi.slash"), QStringLiteral("VPN问题"), QStringLiteral("修复VPN导致的重定向循环问题")},
    {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("内存溢出"),
     QStringLiteral("修复大量重定向导致的内存溢出")}};

const QString continuePressedLog = QStringLiteral("🔍 UpdateLogView: 点击继续按钮");
const QString closingLog = QStringLiteral("🔍 UpdateLogView: 准备设置 showUpdateLog = false");
const QString closedLog = QStringLiteral("🔍 UpdateLogView: showUpdateLog 已设置为 false");

constexpr QSize buttonSize{120, 40};
} // namespace

UpdateLogView::UpdateLogView(AppContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("updateLogView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *title = new QLabel(heading, this);
    Theme::style(title, Theme::Text::screenTitle);
    title->setAlignment(Qt::AlignCenter);
    // The spacing is the layout's: a label's own margins are reset when a stylesheet polishes it.
    layout->addSpacing(20);
    layout->addWidget(title);
    layout->addSpacing(16);
    layout->addWidget(Theme::divider(this));

    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAccessibleName(heading);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(makeContent());
    scroll->viewport()->setAutoFillBackground(false);
    scroll->widget()->setAutoFillBackground(false);
    layout->addWidget(scroll, 1);
    layout->addWidget(Theme::divider(this));

    auto *button = new AccentButton(continueTitle, {}, this);
    button->setObjectName(QStringLiteral("continueButton"));
    button->setFixedSize(buttonSize);
    connect(button, &AccentButton::clicked, this, &UpdateLogView::continuePressed);
    auto *footer = new QHBoxLayout;
    footer->setContentsMargins(0, 20, 0, 20);
    footer->addWidget(button, 0, Qt::AlignCenter);
    layout->addLayout(footer);
}

QWidget *UpdateLogView::makeContent()
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(24);

    auto *versionLine = new QHBoxLayout;
    versionLine->setSpacing(10);
    auto *name = new QLabel(productName, content);
    Theme::style(name, Theme::Text::heroTitle);
    auto *version = new QLabel(VersionManager::currentVersion, content);
    Theme::style(version, Theme::Text::version, Theme::Tone::Accent);
    versionLine->addWidget(name, 0, Qt::AlignBaseline);
    versionLine->addWidget(version, 0, Qt::AlignBaseline);
    versionLine->addStretch();
    layout->addLayout(versionLine);

    addSection(layout, newFeatures, newFeatureRows);
    addSection(layout, improvements, improvementRows);
    addSection(layout, fixes, fixRows);
    layout->addStretch();
    return content;
}

void UpdateLogView::addSection(QVBoxLayout *layout, const QString &heading, const QList<QStringList> &rows)
{
    auto *section = new QVBoxLayout;
    section->setSpacing(12);
    auto *title = new QLabel(heading);
    Theme::style(title, Theme::Text::sectionHeading);
    section->addWidget(title);
    for (const QStringList &row : rows)
        section->addWidget(new FeatureRow(row.at(0), row.at(1), row.at(2)));
    layout->addLayout(section);
}

void UpdateLogView::continuePressed()
{
    Log::write(continuePressedLog);
    m_context.versions.markVersionAsShown();
    Log::write(closingLog);
    Q_EMIT closed();
    Log::write(closedLog);
    m_context.notifications.post(Notifications::UpdateLogClosed);
}
