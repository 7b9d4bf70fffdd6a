#include "app/NetlatchApp.h"
#include "common/BuildConfig.h"
#include "common/Log.h"
#include "common/QtTranslations.h"
#include "gui/widgets/Artwork.h"
#include "gui/widgets/Theme.h"
#include "platform/AppServices.h"
#include "platform/linux/FreedesktopApplication.h"
#include "platform/linux/LinuxDesktopAdapters.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Netlatch"));
    QApplication::setApplicationName(QStringLiteral("netlatch"));
    QApplication::setApplicationDisplayName(QStringLiteral("Netlatch"));
    QApplication::setApplicationVersion(QString::fromLatin1(BuildConfig::version));
    QGuiApplication::setDesktopFileName(FreedesktopApplication::applicationId);
    // The application lives in the tray: closing its window only hides it.
    QApplication::setQuitOnLastWindowClosed(false);
    QtTranslations::install(application);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Signs this computer into the campus network's captive portal, from the tray.\n"
                       "Launched again while it runs, it brings the running instance's window forward."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Copy the diagnostic log to stderr"));
    const QCommandLineOption action(
        QStringLiteral("action"),
        QStringLiteral("Perform an action of the desktop entry in the running instance, starting one if "
                       "none runs: quick-login, show-main-window, about or quit"),
        QStringLiteral("name"));
    parser.addOptions({verbose, action});
    parser.process(application);
    Log::setStderrCopy(parser.isSet(verbose));

    Theme::apply(application);
    // Title bars, the taskbar and the window switcher show the logo beside every window.
    QApplication::setWindowIcon(Artwork::applicationIcon());
    // The tray application always speaks D-Bus: its adapters are linked in, not loaded from the plugin.
    static LinuxDesktopAdapters desktopAdapters;
    AppServices::useDesktopAdapters(desktopAdapters);
    NetlatchApp netlatch(parser.value(action));
    return netlatch.exec();
}
