#include "gui/settings/AutoLoginSettingsView.h"

#include "autologin/AutoLoginManager.h"
#include "gui/AppContext.h"
#include "gui/widgets/BusyButton.h"
#include "gui/widgets/Card.h"
#include "gui/widgets/SettingRow.h"
#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"
#include "gui/widgets/ToggleSwitch.h"
#include "store/Preferences.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>

namespace {
const QString paneTitle = QStringLiteral("自动联网");
const QString autoLoginTitle = QStringLiteral("自动尝试联网");
const QString autoLoginDescription =
    QStringLiteral("开启后，电脑唤醒解锁后检测到连接着学校WiFi，且无网络连接时，自动进行联网尝试");
const QString reconnectTitle = QStringLiteral("断线自动重连");
const QString reconnectDescription = QStringLiteral("校园网认证掉线时自动重新登录");
const QString wiredTitle = QStringLiteral("有线网络也自动联网");
const QString wiredDescription =
    QStringLiteral("在读不到WiFi名称的网络（如有线网络）上，仅当网络检测被重定向到认证服务器时才自动登录");
const QString statusHeading = QStringLiteral("当前状态");
const QString wifiTitle = QStringLiteral("当前WiFi：");
const QString notObtained = QStringLiteral("未获取");
const QString networkTitle = QStringLiteral("网络连接状态：");
const QString connectedText = QStringLiteral("已连接");
const QString disconnectedText = QStringLiteral("未连接");
const QString lastRefreshTitle = QStringLiteral("上次刷新：");
const QString engineTitle = QStringLiteral("联网引擎：");
const QString engineHere = QStringLiteral("本程序");
const QString engineElsewhere = QStringLiteral("后台进程（PID %1）");
const QString engineNowhere = QStringLiteral("未运行");
const QString refreshTitle = QStringLiteral("刷新状态");
const QString refreshingTitle = QStringLiteral("刷新中...");
const QString logHeading = QStringLiteral("刷新日志");
const QString clearTitle = QStringLiteral("清空");
const QString refreshStartedLog = QStringLiteral("开始刷新状态...");
const QString refreshDoneLog = QStringLiteral("刷新完成 - WiFi: %1%2, 网络: %3");
const QString schoolSuffix = QStringLiteral("（校园网）");
const QString notSchoolSuffix = QStringLiteral("（非校园网）");
constexpr int logBoxMaxHeight = 150;
constexpr int dotSize = 8;

/// The locale's medium time style: hours, minutes and seconds, no date, no time zone.
QString mediumTime(const QTime &time)
{
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return QLocale().toString(time, format.trimmed());
}

QLabel *statusTitle(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    Theme::setTextTone(label, Theme::Tone::Secondary);
    return label;
}
} // namespace

AutoLoginSettingsView::AutoLoginSettingsView(AppContext &context, QWidget *parent)
    : ScrollingPane(paneTitle, parent), m_context(context), m_networkStatus(context.networkProbe)
{
    column()->addWidget(createSwitchCard());
    column()->addWidget(createStatusCard());
    column()->addWidget(createLogCard());

    m_refreshTimer.setInterval(refreshIntervalMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &AutoLoginSettingsView::refresh);
    connect(&m_networkStatus, &NetworkStatusQuery::wifiLookedUp, this, &AutoLoginSettingsView::wifiLookedUp);
    connect(&m_networkStatus, &NetworkStatusQuery::refreshed, this, &AutoLoginSettingsView::refreshed);
    m_engineObserver = m_context.notifications.addObserver(Notifications::EngineOwnerChanged,
                                                           [this](const QVariantMap &) { showEngineOwner(); });
}

AutoLoginSettingsView::~AutoLoginSettingsView()
{
    m_context.notifications.removeObserver(m_engineObserver);
}

QWidget *AutoLoginSettingsView::createSwitchCard()
{
    auto *card = new Card;
    m_autoLoginSwitch = new ToggleSwitch;
    m_autoLoginSwitch->setObjectName(QStringLiteral("autoLoginSwitch"));
    connect(m_autoLoginSwitch, &ToggleSwitch::clicked, this, &AutoLoginSettingsView::setAutoLoginEnabled);
    card->contentLayout()->addWidget(
        new SettingRow(autoLoginTitle, autoLoginDescription, m_autoLoginSwitch, card));

    m_reconnectSwitch = preferenceSwitch(PreferenceKeys::autoReconnect, QStringLiteral("autoReconnectSwitch"));
    card->contentLayout()->addWidget(
        new SettingRow(reconnectTitle, reconnectDescription, m_reconnectSwitch, card));
    m_wiredSwitch = preferenceSwitch(PreferenceKeys::skipWiFiCheckForAutoLogin, QStringLiteral("wiredSwitch"));
    card->contentLayout()->addWidget(new SettingRow(wiredTitle, wiredDescription, m_wiredSwitch, card));
    return card;
}

ToggleSwitch *AutoLoginSettingsView::preferenceSwitch(const PreferenceKey &key, const QString &objectName)
{
    auto *toggle = new ToggleSwitch;
    toggle->setObjectName(objectName);
    connect(toggle, &ToggleSwitch::clicked, this, [this, &key](bool on) {
        m_context.preferences.setBool(key, on);
        m_context.preferences.sync(); // a daemon that runs the engine reads the file
    });
    return toggle;
}

QWidget *AutoLoginSettingsView::createStatusCard()
{
    auto *card = new Card(statusHeading);
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);

    m_wifiValue = new QLabel(notObtained, card);
    m_wifiValue->setObjectName(QStringLiteral("currentWiFi"));
    m_wifiValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(statusTitle(wifiTitle, card), 0, 0);
    grid->addWidget(m_wifiValue, 0, 1);

    auto *network = new QHBoxLayout;
    network->setSpacing(6);
    m_networkDot = new QLabel(card);
    m_networkValue = new QLabel(card);
    m_networkValue->setObjectName(QStringLiteral("networkState"));
    network->addWidget(m_networkDot);
    network->addWidget(m_networkValue, 1);
    grid->addWidget(statusTitle(networkTitle, card), 1, 0);
    grid->addLayout(network, 1, 1);

    m_lastRefreshTitle = statusTitle(lastRefreshTitle, card);
    m_lastRefreshValue = new QLabel(card);
    m_lastRefreshValue->setObjectName(QStringLiteral("lastRefreshTime"));
    m_lastRefreshTitle->hide();
    m_lastRefreshValue->hide();
    grid->addWidget(m_lastRefreshTitle, 2, 0);
    grid->addWidget(m_lastRefreshValue, 2, 1);

    m_engineValue = new QLabel(card);
    m_engineValue->setObjectName(QStringLiteral("engineOwner"));
    grid->addWidget(statusTitle(engineTitle, card), 3, 0);
    grid->addWidget(m_engineValue, 3, 1);
    card->contentLayout()->addLayout(grid);

    m_refreshButton = new BusyButton(QStringLiteral("arrow.clockwise"), refreshTitle, card);
    m_refreshButton->setObjectName(QStringLiteral("refreshButton"));
    connect(m_refreshButton, &QPushButton::clicked, this, &AutoLoginSettingsView::refresh);
    card->contentLayout()->addWidget(m_refreshButton, 0, Qt::AlignLeft);

    // The state before the first refresh: nothing known, no network.
    Theme::setTextTone(m_wifiValue, Theme::Tone::Secondary);
    m_networkDot->setPixmap(SymbolIcon::pixmap(QStringLiteral("circle.fill"), dotSize,
                                               Theme::failure(palette()), devicePixelRatioF()));
    m_networkValue->setText(disconnectedText);
    Theme::setTextTone(m_networkValue, Theme::Tone::Failure);
    return card;
}

QWidget *AutoLoginSettingsView::createLogCard()
{
    auto *card = new Card;
    auto *header = new QHBoxLayout;
    auto *heading = new QLabel(logHeading, card);
    Theme::style(heading, Theme::Text::headline);
    auto *clearButton = new QPushButton(clearTitle, card);
    clearButton->setObjectName(QStringLiteral("clearLogButton"));
    connect(clearButton, &QPushButton::clicked, this, &AutoLoginSettingsView::clearLogs);
    header->addWidget(heading, 1);
    header->addWidget(clearButton);
    card->contentLayout()->addLayout(header);

    m_logBox = new QPlainTextEdit(card);
    m_logBox->setObjectName(QStringLiteral("refreshLog"));
    m_logBox->setReadOnly(true);
    m_logBox->setAccessibleName(logHeading);
    m_logBox->setFont(Theme::monospaceFont());
    m_logBox->setMaximumHeight(logBoxMaxHeight);
    m_logBox->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    card->contentLayout()->addWidget(m_logBox);
    return card;
}

void AutoLoginSettingsView::showEvent(QShowEvent *event)
{
    ScrollingPane::showEvent(event);
    showEngineOwner();
    m_reconnectSwitch->setChecked(m_context.preferences.autoReconnect());
    m_wiredSwitch->setChecked(m_context.preferences.boolValue(PreferenceKeys::skipWiFiCheckForAutoLogin));
    refresh();
    m_refreshTimer.start();
}

void AutoLoginSettingsView::hideEvent(QHideEvent *event)
{
    ScrollingPane::hideEvent(event);
    m_refreshTimer.stop();
}

void AutoLoginSettingsView::setAutoLoginEnabled(bool enabled)
{
    if (m_context.autoLogin) {
        if (enabled)
            m_context.autoLogin->enableAutoLogin();
        else
            m_context.autoLogin->disableAutoLogin();
    } else {
        // Another process runs the engine and follows the stored switch.
        m_context.preferences.setBool(PreferenceKeys::autoLoginEnabled, enabled);
        m_context.preferences.sync();
    }
    setPartsEnabled(enabled);
}

void AutoLoginSettingsView::setPartsEnabled(bool enabled)
{
    // Both are parts of automatic sign-in: neither does anything while it is off.
    m_reconnectSwitch->setEnabled(enabled);
    m_wiredSwitch->setEnabled(enabled);
}

void AutoLoginSettingsView::refresh()
{
    if (isRefreshing())
        return;
    m_refreshButton->setBusy(true, refreshingTitle);
    addLog(refreshStartedLog);
    m_networkStatus.refresh();
}

void AutoLoginSettingsView::wifiLookedUp(const std::optional<QString> &ssid, bool campusNetwork)
{
    m_wifiValue->setText(ssid.value_or(notObtained));
    Theme::setTextTone(m_wifiValue, campusNetwork ? Theme::Tone::Success : Theme::Tone::Secondary);
}

void AutoLoginSettingsView::refreshed(const NetworkStatus &status)
{
    const bool hasNetwork = status.internetReachable;
    const QColor colour = hasNetwork ? Theme::success(palette()) : Theme::failure(palette());
    m_networkDot->setPixmap(
        SymbolIcon::pixmap(QStringLiteral("circle.fill"), dotSize, colour, devicePixelRatioF()));
    m_networkValue->setText(hasNetwork ? connectedText : disconnectedText);
    Theme::setTextTone(m_networkValue, hasNetwork ? Theme::Tone::Success : Theme::Tone::Failure);
    m_lastRefreshValue->setText(mediumTime(QTime::currentTime()));
    m_lastRefreshTitle->show();
    m_lastRefreshValue->show();
    m_refreshButton->setBusy(false, refreshingTitle);
    addLog(refreshDoneLog.arg(status.ssid.value_or(notObtained),
                              status.campusNetwork ? schoolSuffix : notSchoolSuffix,
                              hasNetwork ? connectedText : disconnectedText));
}

void AutoLoginSettingsView::addLog(const QString &message)
{
    m_refreshLogs.prepend(QStringLiteral("[%1] %2").arg(mediumTime(QTime::currentTime()), message));
    if (m_refreshLogs.size() > maxLogLines)
        m_refreshLogs.resize(maxLogLines);
    m_logBox->setPlainText(m_refreshLogs.join(QLatin1Char('\n')));
}

void AutoLoginSettingsView::clearLogs()
{
    m_refreshLogs.clear();
    m_logBox->clear();
}

void AutoLoginSettingsView::showEngineOwner()
{
    if (m_context.autoLogin)
        m_engineValue->setText(engineHere);
    else
        m_engineValue->setText(m_context.engineOwnerPid > 0 ? engineElsewhere.arg(m_context.engineOwnerPid)
                                                            : engineNowhere);
    const bool enabled = m_context.autoLogin
                             ? m_context.autoLogin->isEnabled()
                             : m_context.preferences.boolValue(PreferenceKeys::autoLoginEnabled);
    m_autoLoginSwitch->setChecked(enabled);
    setPartsEnabled(enabled);
}
