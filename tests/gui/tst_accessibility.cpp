// Every screen as a keyboard and screen-reader user meets it: each control takes the focus with Tab,
// and over AT-SPI (a private session bus with its own accessibility bus) every control a user can
// focus has a name, and the statistics chart reads out its rows.
#include "PrivateDBus.h"
#include "ScreenTable.h"
#include "TestAppContext.h"

#include "gui/settings/DateDistributionChart.h"
#include "gui/widgets/SegmentedControl.h"
#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every text colour of the theme reads on every surface text is drawn on (WCAG AA), in the light
    // and the dark palette, and so does the white of a filled button on the accent.
    void textContrast()
    {
        for (const QPalette &palette : {Theme::lightPalette(), Theme::darkPalette()}) {
            for (const QColor &surface : Theme::textSurfaces(palette)) {
                for (const Theme::Tone tone : Theme::textTones) {
                    const QColor text = Theme::colour(tone, palette);
                    QVERIFY2(Theme::contrast(text, surface) >= Theme::minimumTextContrast,
                             qPrintable(text.name() + QStringLiteral(" on ") + surface.name()));
                }
            }
            QVERIFY(Theme::contrast(Qt::white, Theme::accent(palette)) >= Theme::minimumTextContrast);
        }
    }

    void screen_data()
    {
        QTest::addColumn<int>("index");
        const std::vector<NamedScreen> screens = screenTable();
        for (int i = 0; i < int(screens.size()); ++i)
            QTest::newRow(qPrintable(screens[size_t(i)].name)) << i;
    }

    void screen()
    {
        QFETCH(int, index);
        const NamedScreen screen = screenTable()[size_t(index)];
        TestAppContext test;
        std::unique_ptr<QWidget> widget(screen.make(test));
        widget->resize(screen.size);
        widget->show();
        QVERIFY(QTest::qWaitForWindowExposed(widget.get()));
        QWidget *target = nullptr;
        QTRY_VERIFY((target = screen.target ? screen.target(widget.get()) : widget.get()) &&
                    target->isVisible());

        for (QWidget *control : target->findChildren<QWidget *>()) {
            const bool interactive = qobject_cast<QAbstractButton *>(control) ||
                                     qobject_cast<QLineEdit *>(control) ||
                                     qobject_cast<SegmentedControl *>(control);
            if (interactive && control->isVisibleTo(target) && control->isEnabled())
                QVERIFY2(control->focusPolicy() & Qt::TabFocus,
                         qPrintable(control->metaObject()->className()));
        }

        QProcess walker;
        walker.start("/usr/bin/python3",
                     {qEnvironmentVariable("NETLATCH_SOURCE_DIR") + "/tests/gui/accessibility-tree.py",
                      QString::number(QCoreApplication::applicationPid())});
        // The walk asks this process over D-Bus: the event loop answers while the test waits.
        QTRY_VERIFY_WITH_TIMEOUT(walker.state() == QProcess::NotRunning, 30000);
        const QString tree = QString::fromUtf8(walker.readAllStandardOutput());
        QVERIFY2(walker.exitCode() == 0, walker.readAllStandardError().constData());
        QVERIFY2(!tree.contains("\tfocusable\t\n"),
                 qPrintable("an unnamed control (role, focusable, name):\n" + tree));
        if (auto *chart = target->findChild<DateDistributionChart *>(); chart && !chart->bars().isEmpty())
            QVERIFY2(tree.contains(DateDistributionChart::formatDateLabel(chart->bars()[0].day)),
                     qPrintable(tree));
    }
};

int main(int argc, char *argv[])
{
    // The bus exists before the application connects to it for its accessibility bus.
    PrivateDBus bus(PrivateDBus::Role::Session);
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication application(argc, argv);
    Theme::apply(application);
    SymbolIcon::setUseIconTheme(false);
    TestAccessibility test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_accessibility.moc"
