// Every screen as a keyboard and screen-reader user meets it: Tab visits each control in reading order,
// and over AT-SPI (a private session bus with its own accessibility bus) every control a user can
// focus has a name, and the statistics chart reads out its rows.
#include "PrivateDBus.h"
#include "ScreenTable.h"
#include "TestAppContext.h"

#include "gui/settings/DateDistributionChart.h"
#include "gui/widgets/SegmentedControl.h"
#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"
#include "gui/widgets/ToggleSwitch.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

namespace {

QRect area(const QWidget *widget, const QWidget *target)
{
    return {widget->mapTo(target, QPoint()), widget->size()};
}

QString describe(const QWidget *widget, const QWidget *target)
{
    const QRect r = area(widget, target);
    return QStringLiteral("%1 %2 at %3,%4")
        .arg(widget->metaObject()->className(), widget->objectName())
        .arg(r.x())
        .arg(r.y());
}

/// The controls of `target` that Tab visits, in the order it visits them.
QList<QWidget *> tabChain(QWidget *target)
{
    QList<QWidget *> chain;
    for (QWidget *widget = target->nextInFocusChain(); widget != target;
         widget = widget->nextInFocusChain()) {
        if (target->isAncestorOf(widget) && widget->isVisibleTo(target) && widget->isEnabled() &&
            (widget->focusPolicy() & Qt::TabFocus))
            chain.append(widget);
    }
    return chain;
}

} // namespace

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

    // The painted controls work from the keyboard: Space and Enter flip a switch, the arrow keys move
    // the period selector and stop at its ends.
    void keys()
    {
        ToggleSwitch toggle;
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
            const bool wasChecked = toggle.isChecked();
            QTest::keyClick(&toggle, key);
            QCOMPARE(toggle.isChecked(), !wasChecked);
        }
        SegmentedControl periods({QStringLiteral("a"), QStringLiteral("b")});
        for (const auto &[key, index] :
             {std::pair{Qt::Key_Right, 1}, {Qt::Key_Right, 1}, {Qt::Key_Left, 0}, {Qt::Key_Left, 0}}) {
            QTest::keyClick(&periods, key);
            QCOMPARE(periods.currentIndex(), index);
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

        // Tab visits every control in reading order: down the page, or on to a column further right.
        const QList<QWidget *> chain = tabChain(target);
        for (QWidget *control : target->findChildren<QWidget *>()) {
            const bool interactive = qobject_cast<QAbstractButton *>(control) ||
                                     qobject_cast<QLineEdit *>(control) ||
                                     qobject_cast<SegmentedControl *>(control);
            // (an alert the screen opens is a window of its own, with a screen of its own)
            if (interactive && control->window() == target->window() && control->isVisibleTo(target) &&
                control->isEnabled())
                QVERIFY2(chain.contains(control), qPrintable(describe(control, target)));
        }
        for (qsizetype i = 1; i < chain.size(); ++i) {
            if (chain[i - 1]->isAncestorOf(chain[i]))
                continue; // a pane takes the focus before its controls
            const QRect before = area(chain[i - 1], target), after = area(chain[i], target);
            QVERIFY2(after.top() >= before.bottom() - 4 || after.left() >= before.right(),
                     qPrintable(describe(chain[i - 1], target) + " → " + describe(chain[i], target)));
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
