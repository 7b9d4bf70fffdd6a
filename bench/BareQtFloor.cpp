// The memory floor of a Qt Widgets tray application: a tray icon and one 700 × 500 window of Chinese
// text and emoji in the same fonts as netlatch (the desktop font with Noto Sans CJK SC, regular and
// bold as in netlatch's titles, and Noto Color Emoji), and nothing else. bench/memory_floor.sh runs it beside netlatch.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QFont font = app.font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(13);
    app.setFont(font);

    QPixmap icon(22, 22);
    icon.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(icon)};
    tray.show();

    QWidget window;
    window.setWindowTitle(QStringLiteral("设置"));
    auto *layout = new QVBoxLayout(&window);
    auto *title = new QLabel(QStringLiteral("通用"));
    QFont titleFont = font;
    titleFont.setPointSize(28);
    titleFont.setBold(true);
    title->setFont(titleFont);
    layout->addWidget(title);
    for (const char *line : {"通用 快捷键 自动登录 统计 关于", "🌐 一键联网 ✅ 登录成功！ ⚠️ 网络检测被重定向到认证服务器",
                             "📊 今日 本周 本月 全部 🔐 密钥环 ⌨️ 快捷键 🚀 登录时启动"})
        layout->addWidget(new QLabel(QString::fromUtf8(line)));
    window.setFixedSize(700, 500);
    window.show();
    return app.exec();
}
