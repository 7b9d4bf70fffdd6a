// netlatch-screenshots DIR [NAME...]: renders every screen of the program (or the named ones) in the
// light and the dark palette to DIR/<name>-light.png and DIR/<name>-dark.png, on the offscreen
// platform, over fakes and a local portal on loopback.
#include "ScreenTable.h"
#include "TestAppContext.h"

#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {
// Lets a screen finish what it started on showing (a refresh against the local portal, a sign-in).
void settle()
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 600) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

bool render(const NamedScreen &screen, const QString &directory)
{
    for (const auto &[suffix, palette] : {std::pair{QStringLiteral("light"), Theme::lightPalette()},
                                          std::pair{QStringLiteral("dark"), Theme::darkPalette()}}) {
        QApplication::setPalette(palette);
        TestAppContext test;
        std::unique_ptr<QWidget> widget(screen.make(test));
        widget->setAttribute(Qt::WA_DontShowOnScreen);
        widget->setAutoFillBackground(true);
        widget->resize(screen.size);
        widget->show();
        settle();
        QWidget *target = screen.target ? screen.target(widget.get()) : widget.get();
        const QString path = QDir(directory).filePath(QStringLiteral("%1-%2.png").arg(screen.name, suffix));
        if (!target || !target->grab().save(path)) {
            QTextStream(stderr) << "cannot write " << path << '\n';
            return false;
        }
        QTextStream(stdout) << path << '\n';
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Theme::apply(application);
    SymbolIcon::setUseIconTheme(false);

    QStringList arguments = application.arguments().mid(1);
    if (arguments.isEmpty()) {
        QTextStream(stderr) << "usage: netlatch-screenshots DIR [NAME...]\n";
        return 2;
    }
    const QString directory = arguments.takeFirst();
    if (!QDir().mkpath(directory)) {
        QTextStream(stderr) << "cannot create " << directory << '\n';
        return 1;
    }
    for (const NamedScreen &screen : screenTable()) {
        if (!arguments.isEmpty() && !arguments.contains(screen.name))
            continue;
        if (!render(screen, directory))
            return 1;
    }
    return 0;
}
