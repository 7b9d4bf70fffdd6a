// The shell completions offer exactly what the commands' --help shows: the commands, each command's
// arguments word by word, and its options. bash and fish complete for real; zsh is parsed and read.
#include "Netlatchctl.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using WordSet = QSet<QString>;

/// What may follow each prefix of arguments ("autologin", "autologin reconnect", ...), read from --help.
struct HelpTable
{
    QMap<QString, WordSet> next;
    QMap<QString, WordSet> options; // per command, long and short
};

WordSet words(const QString &text)
{
    const QStringList list = text.split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts);
    return WordSet(list.begin(), list.end());
}

HelpTable readHelp()
{
    HelpTable table;
    const QString top = runNetlatchctl({"--help"}).out;
    const QString commandList = top.section(u"Commands:\n"_s, 1).section(u"\n\n"_s, 0, 0);
    for (const QString &line : commandList.split(u'\n')) {
        const QString command = line.simplified().section(u' ', 0, 0);
        table.next[QString()] << command;
        table.next[command]; // a command without arguments is offered only its options
        const QString help = runNetlatchctl({command, "--help"}).out;
        static const QRegularExpression usage(u"^(?:Usage:)? +netlatchctl \\S+(.*?)(?: \\[options\\])?$"_s,
                                              QRegularExpression::MultilineOption);
        for (auto match = usage.globalMatch(help); match.hasNext();) {
            QString typed = command;
            for (const QString &token : match.next().captured(1).split(u' ', Qt::SkipEmptyParts)) {
                const QStringList alternatives = token.split(u'|');
                table.next[typed] += WordSet(alternatives.begin(), alternatives.end());
                typed += u' ' + alternatives.first();
            }
        }
        static const QRegularExpression option(u"(?:^  |, )(--?[\\w-]+)"_s, QRegularExpression::MultilineOption);
        for (auto match = option.globalMatch(help.section(u"Options:\n"_s, 1)); match.hasNext();)
            table.options[command] << match.next().captured(1);
    }
    return table;
}

QString script(const QString &shell)
{
    const ProgramRun run = runNetlatchctl({"completion", shell});
    return run.exitCode == 0 ? run.out : QString();
}

} // namespace

class TestCompletion : public QObject
{
    Q_OBJECT

    HelpTable m_help;
    QTemporaryDir m_dir;

    QString saved(const QString &shell)
    {
        const QString path = m_dir.filePath(shell);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(script(shell).toUtf8());
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_help = readHelp();
        QVERIFY(m_help.next.value(u"autologin wired"_s) == (WordSet{"on", "off"}));
        QVERIFY(m_help.options.value(u"login"_s).contains(u"--password-stdin"_s));
    }

    void bashOffersWhatHelpShows()
    {
        const QString file = saved(u"bash"_s);
        for (auto it = m_help.next.cbegin(); it != m_help.next.cend(); ++it) {
            const QStringList typed = it.key().isEmpty() ? QStringList() : it.key().split(u' ');
            const QString line = (QStringList{"netlatchctl"} + typed + QStringList{QString()}).join(u' ');
            const ProgramRun run = runProgram(u"bash"_s, {u"-c"_s, u"source \"$0\"; read -ra COMP_WORDS <<< \"$1\"; "
                                                            "COMP_WORDS+=(''); COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 )); "
                                                            "_netlatchctl; printf '%s\\n' \"${COMPREPLY[@]}\""_s,
                                                            file, line});
            WordSet expected = it.value();
            expected += typed.isEmpty() ? WordSet{"-h", "--help", "-v", "--version"} : m_help.options.value(typed.first());
            QCOMPARE(words(run.out), expected);
        }
    }

    void fishOffersWhatHelpShows()
    {
        const QString file = saved(u"fish"_s);
        const auto complete = [&file](const QString &line) {
            const ProgramRun run = runProgram(u"fish"_s, {u"--no-config"_s, u"-c"_s, u"source $argv[1]; complete -C $argv[2]"_s, file, line});
            WordSet offered;
            for (const QString &entry : run.out.split(u'\n', Qt::SkipEmptyParts))
                offered << entry.section(u'\t', 0, 0);
            return offered;
        };
        for (auto it = m_help.next.cbegin(); it != m_help.next.cend(); ++it)
            QCOMPARE(complete(("netlatchctl " + it.key() + " ").simplified() + u' '), it.value());
        for (auto it = m_help.options.cbegin(); it != m_help.options.cend(); ++it) {
            WordSet longOptions;
            for (const QString &option : it.value())
                if (option.startsWith(u"--"))
                    longOptions << option;
            QCOMPARE(complete("netlatchctl " + it.key() + " --"), longOptions);
        }
    }

    void zshScriptParsesAndNamesEverything()
    {
        const QString file = saved(u"zsh"_s);
        QCOMPARE(runProgram(u"zsh"_s, {u"-n"_s, file}).exitCode, 0);
        const QString text = script(u"zsh"_s);
        for (auto it = m_help.next.cbegin(); it != m_help.next.cend(); ++it)
            for (const QString &word : it.value())
                QVERIFY2(text.contains(word), qPrintable(word));
        for (const WordSet &options : std::as_const(m_help.options))
            for (const QString &option : options)
                QVERIFY2(text.contains(option), qPrintable(option));
    }
};

QTEST_GUILESS_MAIN(TestCompletion)
#include "tst_completion.moc"
