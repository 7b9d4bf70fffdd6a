#include "cli/CompletionScript.h"

#include "cli/Command.h"

#include <QStringList>
#include <QTextStream>

namespace {

const QString program = QStringLiteral("netlatchctl");
const QStringList globalOptions{QStringLiteral("-h"), QStringLiteral("--help"), QStringLiteral("-v"),
                                QStringLiteral("--version")};
const QStringList helpOption{QStringLiteral("-h"), QStringLiteral("--help")};

/// What may come after the arguments already typed ("" at the start, "reconnect" after it).
struct Position
{
    QString typed;
    QStringList words;
};

QList<Position> positions(const Command &command)
{
    QList<Position> result;
    const auto wordsAfter = [&result](const QString &typed) -> QStringList & {
        for (Position &position : result) {
            if (position.typed == typed)
                return position.words;
        }
        result.append({typed, {}});
        return result.last().words;
    };
    for (const Command::Form &form : command.syntax().forms) {
        QStringList typed{QString()};
        for (const QString &token : form.words.split(QLatin1Char(' '))) {
            QStringList next;
            for (const QString &before : std::as_const(typed)) {
                QStringList &words = wordsAfter(before);
                for (const QString &word : token.split(QLatin1Char('|'))) {
                    if (!words.contains(word))
                        words << word;
                    next << (before.isEmpty() ? word : before + QLatin1Char(' ') + word);
                }
            }
            typed = next;
        }
    }
    return result;
}

QStringList optionWords(const QCommandLineOption &option)
{
    QStringList words;
    for (const QString &name : option.names())
        words << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    return words;
}

QStringList optionWords(const Command &command)
{
    QStringList words;
    for (const QCommandLineOption &option : command.syntax().options)
        words << optionWords(option);
    return words << helpOption;
}

QStringList valueOptionWords(const Command &command)
{
    QStringList words;
    for (const QCommandLineOption &option : command.syntax().options) {
        if (!option.valueName().isEmpty())
            words << optionWords(option);
    }
    return words;
}

QString singleQuoted(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}

QString bashScript(const std::vector<std::unique_ptr<Command>> &commands)
{
    QStringList names;
    for (const auto &command : commands)
        names << command->name();
    QString text;
    QTextStream out(&text);
    out << "# bash completion for netlatchctl (made by 'netlatchctl completion bash')\n"
        << "_netlatchctl()\n{\n"
        << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} words=\"\" word\n"
        << "    local -a args=()\n"
        << "    for word in \"${COMP_WORDS[@]:2:COMP_CWORD-2}\"; do [[ $word == -* ]] || args+=(\"$word\"); done\n"
        << "    if (( COMP_CWORD == 1 )); then\n"
        << "        words=\"" << (names + globalOptions).join(QLatin1Char(' ')) << "\"\n"
        << "    else\n"
        << "        case ${COMP_WORDS[1]} in\n";
    for (const auto &command : commands) {
        out << "        " << command->name() << ")\n";
        const QStringList valueOptions = valueOptionWords(*command);
        if (!valueOptions.isEmpty())
            out << "            case $prev in " << valueOptions.join(QLatin1Char('|')) << ") return ;; esac\n";
        const QList<Position> argumentPositions = positions(*command);
        if (!argumentPositions.isEmpty()) {
            out << "            case \"${#args[@]}:${args[*]}\" in\n";
            for (const Position &position : argumentPositions) {
                out << "            " << position.typed.count(QLatin1Char(' ')) + (position.typed.isEmpty() ? 0 : 1)
                    << ":" << (position.typed.isEmpty() ? QString() : singleQuoted(position.typed)) << ") words=\""
                    << position.words.join(QLatin1Char(' ')) << "\" ;;\n";
            }
            out << "            esac\n";
        }
        out << "            words+=\" " << optionWords(*command).join(QLatin1Char(' ')) << "\" ;;\n";
    }
    out << "        esac\n    fi\n"
        << "    mapfile -t COMPREPLY < <(compgen -W \"$words\" -- \"$cur\")\n"
        << "}\ncomplete -F _netlatchctl netlatchctl\n";
    return text;
}

QString zshScript(const std::vector<std::unique_ptr<Command>> &commands)
{
    QString text;
    QTextStream out(&text);
    out << "#compdef netlatchctl\n# zsh completion for netlatchctl (made by 'netlatchctl completion zsh')\n"
        << "_netlatchctl() {\n"
        << "  if (( CURRENT == 2 )); then\n"
        << "    local -a commands=(\n";
    for (const auto &command : commands)
        out << "      " << singleQuoted(command->name() + QLatin1Char(':') + command->summary()) << "\n";
    out << "    )\n"
        << "    if [[ $PREFIX == -* ]]; then compadd -- " << globalOptions.join(QLatin1Char(' '))
        << "; else _describe -t commands 'netlatchctl command' commands; fi\n"
        << "    return\n  fi\n"
        << "  local -a args=(${${words[3,CURRENT-1]}:#-*})\n"
        << "  case $words[2] in\n";
    for (const auto &command : commands) {
        out << "  " << command->name() << ")\n";
        const QStringList valueOptions = valueOptionWords(*command);
        if (!valueOptions.isEmpty())
            out << "    case $words[CURRENT-1] in " << valueOptions.join(QLatin1Char('|')) << ") return ;; esac\n";
        out << "    if [[ $PREFIX == -* ]]; then compadd -- " << optionWords(*command).join(QLatin1Char(' '))
            << "; return; fi\n";
        const QList<Position> argumentPositions = positions(*command);
        if (!argumentPositions.isEmpty()) {
            out << "    case \"${#args}:${args}\" in\n";
            for (const Position &position : argumentPositions) {
                out << "    " << position.typed.count(QLatin1Char(' ')) + (position.typed.isEmpty() ? 0 : 1) << ":"
                    << (position.typed.isEmpty() ? QString() : singleQuoted(position.typed)) << ") compadd -- "
                    << position.words.join(QLatin1Char(' ')) << " ;;\n";
            }
            out << "    esac\n";
        }
        out << "    ;;\n";
    }
    out << "  esac\n}\n_netlatchctl \"$@\"\n";
    return text;
}

QString fishScript(const std::vector<std::unique_ptr<Command>> &commands)
{
    QString text;
    QTextStream out(&text);
    const QString complete = QStringLiteral("complete -c ") + program;
    out << "# fish completion for netlatchctl (made by 'netlatchctl completion fish')\n"
        << "function __netlatchctl_after --description 'the arguments typed so far are exactly these'\n"
        << "    set -l tokens (commandline -opc)\n"
        << "    test \"$(string match -v -- '-*' $tokens[2..-1] | string join ' ')\" = \"$argv\"\n"
        << "end\n"
        << complete << " -f\n"
        << complete << " -n __fish_use_subcommand -s h -l help -d 'Show this help'\n"
        << complete << " -n __fish_use_subcommand -s v -l version -d 'Show the version'\n";
    for (const auto &command : commands) {
        const QString name = command->name();
        out << complete << " -n __fish_use_subcommand -a " << name << " -d " << singleQuoted(command->summary())
            << "\n";
        const QString inCommand = QStringLiteral(" -n '__fish_seen_subcommand_from ") + name + QLatin1Char('\'');
        for (const QCommandLineOption &option : command->syntax().options) {
            out << complete << inCommand;
            for (const QString &optionName : option.names())
                out << (optionName.size() == 1 ? " -s " : " -l ") << optionName;
            out << (option.valueName().isEmpty() ? "" : " -x") << " -d " << singleQuoted(option.description()) << "\n";
        }
        out << complete << inCommand << " -s h -l help -d 'Show this help'\n";
        for (const Position &position : positions(*command)) {
            const QString typed = position.typed.isEmpty() ? name : name + QLatin1Char(' ') + position.typed;
            out << complete << " -n " << singleQuoted(QStringLiteral("__netlatchctl_after ") + typed) << " -a "
                << singleQuoted(position.words.join(QLatin1Char(' '))) << "\n";
        }
    }
    return text;
}

} // namespace

QString CompletionScript::forShell(const QString &shell, const std::vector<std::unique_ptr<Command>> &commands)
{
    if (shell == bash)
        return bashScript(commands);
    if (shell == zsh)
        return zshScript(commands);
    if (shell == fish)
        return fishScript(commands);
    return {};
}
