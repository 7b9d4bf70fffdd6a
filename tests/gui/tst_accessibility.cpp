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
#include <QSignalSpy>
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

    // Every screen is open at once: one walk of the accessibility tree reads them all.
    void everyScreen()
    {
        const std::vector<NamedScreen> screens = screenTable();
        std::vector<std::unique_ptr<TestAppContext>> contexts; // outlive the screens made over them
        std::vector<std::unique_ptr<QWidget>> widgets;
        for (const NamedScreen &screen : screens) {
            contexts.push_back(std::make_unique<TestAppContext>());
            widgets.emplace_back(screen.make(*contexts.back()))->resize(screen.size);
            widgets.back()->show();
        }
        QList<DateDistributionChart *> charts;
        for (size_t i = 0; i < screens.size(); ++i) {
            const QByteArray name = screens[i].name.toUtf8();
            QVERIFY2(QTest::qWaitForWindowExposed(widgets[i].get()), name.constData());
            QWidget *target = nullptr;
            QTRY_VERIFY2(
                (target = screens[i].target ? screens[i].target(widgets[i].get()) : widgets[i].get()) &&
                    target->isVisible(),
                name.constData());
            // Tab visits every control in reading order: down the page, or on to a column further
            // right. (An alert the screen opens is a window of its own, with a screen of its own.)
            const QList<QWidget *> chain = tabChain(target);
            for (QWidget *control : target->findChildren<QWidget *>()) {
                const bool interactive = qobject_cast<QAbstractButton *>(control) ||
                                         qobject_cast<QLineEdit *>(control) ||
                                         qobject_cast<SegmentedControl *>(control);
                if (interactive && control->window() == target->window() && control->isVisibleTo(target) &&
                    control->isEnabled())
                    QVERIFY2(chain.contains(control),
                             qPrintable(screens[i].name + ": " + describe(control, target)));
            }
            for (qsizetype k = 1; k < chain.size(); ++k) {
                if (chain[k - 1]->isAncestorOf(chain[k]))
                    continue; // a pane takes the focus before its controls
                const QRect before = area(chain[k - 1], target), after = area(chain[k], target);
                QVERIFY2(after.top() >= before.bottom() - 4 || after.left() >= before.right(),
                         qPrintable(screens[i].name + ": " + describe(chain[k - 1], target) + " → " +
                                    describe(chain[k], target)));
            }
            charts += target->findChildren<DateDistributionChart *>();
        }

        QProcess walker;
        QSignalSpy finished(&walker, &QProcess::finished);
        walker.start("/usr/bin/python3",
                     {qEnvironmentVariable("NETLATCH_SOURCE_DIR") + "/tests/gui/accessibility-tree.py",
                      QString::number(QCoreApplication::applicationPid())});
        // The walk asks this process over D-Bus: an event loop (not QTRY's polling, which sleeps between
        // turns) answers each question at once while the test waits.
        QVERIFY(finished.wait(60000));
        const QString tree = QString::fromUtf8(walker.readAllStandardOutput());
        QVERIFY2(walker.exitCode() == 0, walker.readAllStandardError().constData());
        QVERIFY2(!tree.contains("\tfocusable\t\n"),
                 qPrintable("an unnamed control (role, focusable, name):\n" + tree));
        for (const DateDistributionChart *chart : charts) {
            if (!chart->bars().isEmpty())
                QVERIFY2(tree.contains(DateDistributionChart::formatDateLabel(chart->bars()[0].day)),
                         qPrintable(tree));
        }
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
