#include "gui/settings/ShortcutsSettingsView.h"

#include "gui/settings/ShortcutRecorderView.h"
#include "gui/widgets/Card.h"
#include "gui/widgets/Theme.h"
#include "shortcuts/GlobalShortcutsManager.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

const QString ShortcutsSettingsView::title = QStringLiteral("快捷键");
const QString ShortcutsSettingsView::waylandNote =
    QStringLiteral("当前桌面使用 Wayland，不允许应用程序注册全局快捷键，因此无法在此设置。");
const QString ShortcutsSettingsView::desktopShortcutNote =
    QStringLiteral("可以在桌面的键盘设置中添加自定义快捷键，运行下面的命令：");
const QString ShortcutsSettingsView::copyTitle = QStringLiteral("复制命令");
const QString ShortcutsSettingsView::refusedNote = QStringLiteral("此组合键无法注册，可能已被其他程序占用");
// The running application performs these actions of its desktop entry when asked over D-Bus
// (org.freedesktop.Application, the application's D-Bus name).
const QString ShortcutsSettingsView::quickLoginCommand =
    QStringLiteral("gapplication action app.netlatch.Netlatch quick-login");
const QString ShortcutsSettingsView::showWindowCommand =
    QStringLiteral("gapplication action app.netlatch.Netlatch show-main-window");

namespace {
const QString quickLoginHeading = QStringLiteral("一键自动联网");
const QString quickLoginTitle = QStringLiteral("快速登录校园网");
const QString quickLoginDescription = QStringLiteral("使用快捷键快速完成登录");
const QString showWindowHeading = QStringLiteral("弹出软件窗口");
const QString showWindowTitle = QStringLiteral("显示主窗口");
const QString showWindowDescription = QStringLiteral("使用快捷键快速打开设置窗口");
constexpr int margin = 20;
} // namespace

ShortcutsSettingsView::ShortcutsSettingsView(GlobalShortcutsManager &shortcuts, QWidget *parent)
    : QWidget(parent), m_shortcuts(shortcuts)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(16);
    auto *heading = new QLabel(title, this);
    Theme::style(heading, Theme::Text::title);
    layout->addWidget(heading);
    if (!m_shortcuts.canRegisterHotKeys())
        addDesktopShortcutNote();

    m_quickLogin = addShortcutCard(quickLoginHeading, quickLoginTitle, quickLoginDescription,
                                   QStringLiteral("quickLogin"));
    m_showWindow = addShortcutCard(showWindowHeading, showWindowTitle, showWindowDescription,
                                   QStringLiteral("showWindow"));
    layout->addStretch();

    connect(m_quickLogin.recorder, &ShortcutRecorderView::shortcutChanged, this,
            [this](const KeyCombo &combo) { m_shortcuts.setQuickLoginShortcut(combo); });
    connect(m_showWindow.recorder, &ShortcutRecorderView::shortcutChanged, this,
            [this](const KeyCombo &combo) { m_shortcuts.setShowWindowShortcut(combo); });
    // The manager holds one capture: arming one box disarms the other, so that no box keeps saying
    // "按下快捷键..." after its capture has passed to the other.
    for (auto [armed, other] : {std::pair{m_quickLogin.recorder, m_showWindow.recorder},
                                std::pair{m_showWindow.recorder, m_quickLogin.recorder}}) {
        connect(armed, &ShortcutRecorderView::recordingChanged, other, [other](bool recording) {
            if (recording)
                other->setRecording(false);
        });
    }
    connect(&m_shortcuts, &GlobalShortcutsManager::hotKeysRegistered, this,
            &ShortcutsSettingsView::updateRefusedNotes);
    loadShortcuts();
}

ShortcutsSettingsView::~ShortcutsSettingsView()
{
    // Disarm while the whole pane still exists: the registration that follows reaches its slots.
    disarm();
    disconnect(&m_shortcuts, nullptr, this, nullptr);
}

void ShortcutsSettingsView::addDesktopShortcutNote()
{
    // What works instead: the desktop's own shortcut settings run a command that reaches the running
    // application.
    auto *note = new QLabel(waylandNote + QLatin1Char('\n') + desktopShortcutNote, this);
    note->setObjectName(QStringLiteral("waylandNote"));
    note->setWordWrap(true);
    Theme::style(note, Theme::Text::caption, Theme::Tone::Secondary);
    layout()->addWidget(note);
    auto *commands = new QGridLayout;
    const std::pair<const QString &, const QString &> rows[] = {{quickLoginTitle, quickLoginCommand},
                                                                {showWindowTitle, showWindowCommand}};
    for (int row = 0; row < 2; ++row) {
        const auto &[title, command] = rows[row];
        commands->addWidget(new QLabel(title, this), row, 0);
        auto *text = new QLabel(command, this);
        text->setFont(Theme::monospaceFont());
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        commands->addWidget(text, row, 1);
        auto *copy = new QPushButton(copyTitle, this);
        copy->setObjectName(QStringLiteral("copyCommand%1").arg(row));
        connect(copy, &QPushButton::clicked, this,
                [command] { QGuiApplication::clipboard()->setText(command); });
        commands->addWidget(copy, row, 2);
    }
    commands->setColumnStretch(1, 1);
    static_cast<QVBoxLayout *>(layout())->addLayout(commands);
}

ShortcutsSettingsView::Row ShortcutsSettingsView::addShortcutCard(const QString &heading,
                                                                  const QString &rowTitle,
                                                                  const QString &description,
                                                                  const QString &name)
{
    auto *card = new Card(heading, this);
    auto *row = new QHBoxLayout;
    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new QLabel(rowTitle, card));
    auto *descriptionLabel = new QLabel(description, card);
    Theme::style(descriptionLabel, Theme::Text::caption, Theme::Tone::Secondary);
    texts->addWidget(descriptionLabel);
    row->addLayout(texts);
    row->addStretch();
    auto *recorder = new ShortcutRecorderView(m_shortcuts, card);
    recorder->setObjectName(name + QStringLiteral("Recorder"));
    recorder->setEnabled(m_shortcuts.canRegisterHotKeys());
    row->addWidget(recorder, 0, Qt::AlignVCenter);
    card->contentLayout()->addLayout(row);

    auto *refused = new QLabel(refusedNote, card);
    refused->setObjectName(name + QStringLiteral("RefusedNote"));
    Theme::setTextTone(refused, Theme::Tone::Attention);
    refused->setAlignment(Qt::AlignRight);
    refused->hide();
    card->contentLayout()->addWidget(refused);

    static_cast<QVBoxLayout *>(layout())->addWidget(card);
    return {recorder, refused};
}

void ShortcutsSettingsView::loadShortcuts()
{
    m_quickLogin.recorder->setShortcut(m_shortcuts.quickLoginShortcut());
    m_showWindow.recorder->setShortcut(m_shortcuts.showWindowShortcut());
    updateRefusedNotes();
}

void ShortcutsSettingsView::updateRefusedNotes()
{
    // While a capture is armed the hot keys are off on purpose; that is no refusal.
    const bool judged = m_shortcuts.canRegisterHotKeys() && !m_shortcuts.isRecording();
    const auto &refs = m_shortcuts.hotKeyRefs();
    m_quickLogin.refused->setVisible(judged && m_shortcuts.quickLoginShortcut() && !refs[0]);
    m_showWindow.refused->setVisible(judged && m_shortcuts.showWindowShortcut() && !refs[1]);
}

void ShortcutsSettingsView::showEvent(QShowEvent *event)
{
    loadShortcuts();
    QWidget::showEvent(event);
}

void ShortcutsSettingsView::hideEvent(QHideEvent *event)
{
    disarm();
    QWidget::hideEvent(event);
}

void ShortcutsSettingsView::disarm()
{
    // A capture left armed behind a closed window would keep the hot keys off and take the next key
    // pressed anywhere in the application.
    m_quickLogin.recorder->setRecording(false);
    m_showWindow.recorder->setRecording(false);
}
