// The shell completions offer exactly what the commands' --help shows: the commands, each command's
// arguments word by word, and its options. bash and fish complete for real; zsh's script is parsed.
#include "Netlatchctl.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCompletion : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QSet<QString> words(const QString &text)
    {
        const QStringList list = text.split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts);
        return {list.begin(), list.end()};
    }

    QString script(const QString &shell)
    {
        QFile file(m_dir.filePath(shell));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(runNetlatchctl({"completion", shell}).out.toUtf8()) > 0;
        return written ? file.fileName() : QString();
    }

private Q_SLOTS:
    void completionsFollowTheHelp()
    {
        const QString bash = script(u"bash"_s), fish = script(u"fish"_s), zsh = script(u"zsh"_s);
        QCOMPARE(runProgram(u"zsh"_s, {u"-n"_s, zsh}).exitCode, 0);
        const QString zshText = runNetlatchctl({"completion", "zsh"}).out;
        // What may follow each typed line, and the options of its command, as --help shows them.
        QMap<QString, QSet<QString>> next, options{{QString(), {"-h", "--help", "-v", "--version"}}};
        const QString commands = runNetlatchctl({"--help"}).out.section(u"Commands:\n"_s, 1).section(u"\n\n"_s, 0, 0);
        static const QRegularExpression usage(u"^(?:Usage:)? +netlatchctl \\S+(.*?)(?: \\[options\\])?$"_s,
                                              QRegularExpression::MultilineOption);
        static const QRegularExpression option(u"(?:^  |, )(--?[\\w-]+)"_s, QRegularExpression::MultilineOption);
        for (const QString &line : commands.split(u'\n')) {
            if (line.at(2).isSpace()) // a summary's wrapped part
                continue;
            const QString command = line.simplified().section(u' ', 0, 0);
            next[QString()] << command;
            next[command];
            const QString help = runNetlatchctl({command, "--help"}).out;
            for (auto match = usage.globalMatch(help); match.hasNext();) {
                QString typed = command;
                for (const QString &token : match.next().captured(1).split(u' ', Qt::SkipEmptyParts)) {
                    const QStringList alternatives = token.split(u'|');
                    next[typed] += QSet<QString>(alternatives.begin(), alternatives.end());
                    typed += u' ' + alternatives.first();
                }
            }
            for (auto match = option.globalMatch(help.section(u"Options:\n"_s, 1)); match.hasNext();)
                options[command] << match.next().captured(1);
        }
        QVERIFY(next.value(u"autologin wired"_s) == (QSet<QString>{"on", "off"}));
        for (auto it = next.cbegin(); it != next.cend(); ++it) {
            const QString line = u"netlatchctl "_s + (it.key().isEmpty() ? QString() : it.key() + u' ');
            const QSet<QString> commandOptions = options.value(it.key().section(u' ', 0, 0));
            const QString bashCall = u"source \"$0\"; read -ra COMP_WORDS <<< \"$1\"; COMP_WORDS+=(''); "
                                     "COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 )); _netlatchctl; printf '%s\\n' \"${COMPREPLY[@]}\""_s;
            QCOMPARE(words(runProgram(u"bash"_s, {u"-c"_s, bashCall, bash, line}).out), it.value() + commandOptions);
            const QString fishCall = u"source $argv[1]; complete -C $argv[2] | string replace -r '\\t.*' ''"_s;
            const auto fishOffers = [&](const QString &typed) {
                return words(runProgram(u"fish"_s, {u"--no-config"_s, u"-c"_s, fishCall, fish, typed}).out);
            };
            QCOMPARE(fishOffers(line), it.value());
            QSet<QString> longOptions;
            for (const QString &name : commandOptions)
                if (name.startsWith(u"--"))
                    longOptions << name;
            QCOMPARE(fishOffers(line + u"--"_s), longOptions);
            for (const QString &word : it.value() + commandOptions) // zsh is not driven; it names them all
                QVERIFY2(zshText.contains(word), qPrintable(word));
        }
    }
};

QTEST_GUILESS_MAIN(TestCompletion)
#include "tst_completion.moc"
