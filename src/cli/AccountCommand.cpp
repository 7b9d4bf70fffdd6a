#include "cli/AccountCommand.h"

#include "cli/KeychainCalls.h"
#include "cli/KeyringHint.h"
#include "cli/PasswordInput.h"
#include "store/KeychainHelper.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace {

const QString setAction = QStringLiteral("set");
const QString showAction = QStringLiteral("show");
const QString clearAction = QStringLiteral("clear");

const QCommandLineOption usernameOption(QStringLiteral("username"), QStringLiteral("The account name (set)."),
                                        QStringLiteral("NAME"));
const QCommandLineOption passwordStdinOption(QStringLiteral("password-stdin"),
                                             QStringLiteral("Read the password from standard input, one line (set)."));

const QString usernamePrompt = QStringLiteral("Account name: ");
const QString passwordPrompt = QStringLiteral("Password: ");

const QString savedMessage = QStringLiteral("Saved the account \"%1\" in the keyring.\n");
const QString saveFailedMessage = QStringLiteral("Could not save the account in the keyring.\n");
const QString emptyFieldMessage = QStringLiteral("The account name and the password must not be empty.\n");
const QString notUtf8Message = QStringLiteral("The %1 is not valid UTF-8 text of at most 4 KiB.\n");
const QString noTerminalMessage =
    QStringLiteral("There is no terminal to ask for the password on; pass it on standard input with "
                   "--password-stdin.\n");
const QString setOnlyOptionMessage = QStringLiteral("--username and --password-stdin belong to 'set'.\n");
const QString unknownActionMessage = QStringLiteral("Expected one action: set, show or clear.\n");
const QString readFailedMessage = QStringLiteral("Could not read the keyring.\n");
const QString clearedMessage = QStringLiteral("Removed the stored account from the keyring.\n");
const QString clearFailedMessage = QStringLiteral("Could not remove the account from the keyring.\n");
const QString usernameLine = QStringLiteral("Account name: %1\n");
const QString passwordLine = QStringLiteral("Password:     %1\n");
const QString noneValue = QStringLiteral("(none)");
const QString storedValue = QStringLiteral("stored");
const QString notStoredValue = QStringLiteral("not stored");
const QString incompleteMessage =
    QStringLiteral("The account is incomplete, so no sign-in can use it; store it again with "
                   "'netlatchctl account set'.\n");
// Explains a keyring failure, naming the missing service when that is the cause.
int fail(const QString &message, const SecretStore::Result &result)
{
    QTextStream(stderr) << message << storeFailureHint(result);
    return Command::Failure;
}

} // namespace

QString AccountCommand::name() const
{
    return QStringLiteral("account");
}

QString AccountCommand::summary() const
{
    return QStringLiteral("Store, show or remove the portal account in the keyring");
}

Command::Syntax AccountCommand::syntax() const
{
    return {QStringLiteral("Keeps the campus portal account in the desktop keyring (Secret Service)."),
            {{setAction, QStringLiteral("Store the account, asking for what the options leave out")},
             {showAction, QStringLiteral("Print the stored account name and whether a password is stored")},
             {clearAction, QStringLiteral("Remove the stored account")}},
            {usernameOption, passwordStdinOption}};
}

int AccountCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;

    const QString commandName = arguments.value(0);
    const QStringList actions = parser.positionalArguments();
    const QString action = actions.size() == 1 ? actions.first() : QString();
    if (action != setAction && action != showAction && action != clearAction)
        return usageError(commandName, unknownActionMessage);
    if (action != setAction && (parser.isSet(usernameOption) || parser.isSet(passwordStdinOption)))
        return usageError(commandName, setOnlyOptionMessage);

    KeychainHelper &keychain = m_context.keychain();
    if (action == setAction) {
        const auto username = parser.isSet(usernameOption) ? std::optional(parser.value(usernameOption)) : std::nullopt;
        return set(keychain, commandName, username, parser.isSet(passwordStdinOption));
    }
    return action == showAction ? show(keychain) : clear(keychain);
}

int AccountCommand::set(KeychainHelper &keychain, const QString &commandName, std::optional<QString> username,
                        bool passwordOnStdin)
{
    // Without --password-stdin only a person at a terminal is asked: a pipe meant for something
    // else must not silently become the password.
    if (!passwordOnStdin && !PasswordInput::stdinIsTerminal())
        return usageError(commandName, noTerminalMessage);
    if (!username) {
        username = PasswordInput::readLine(usernamePrompt);
        if (!username)
            return usageError(commandName, notUtf8Message.arg(QStringLiteral("account name")));
    }
    // An empty name is refused before the password is asked for.
    if (username->isEmpty())
        return usageError(commandName, emptyFieldMessage);
    const std::optional<QString> password = PasswordInput::readSecretLine(passwordPrompt);
    if (!password)
        return usageError(commandName, notUtf8Message.arg(QStringLiteral("password")));
    if (password->isEmpty())
        return usageError(commandName, emptyFieldMessage);

    const SecretStore::Result saved = KeychainCalls::save(keychain, *username, *password);
    if (saved.status != SecretStore::Status::Done)
        return fail(saveFailedMessage, saved);
    QTextStream(stdout) << savedMessage.arg(*username);
    return Success;
}

int AccountCommand::show(KeychainHelper &keychain)
{
    const KeychainHelper::Read read = KeychainCalls::load(keychain);
    if (read.result.status != SecretStore::Status::Done)
        return fail(readFailedMessage, read.result);
    const Credentials &credentials = read.credentials;
    const bool hasPassword = credentials.password && !credentials.password->isEmpty();
    QTextStream out(stdout);
    out << usernameLine.arg(credentials.username.value_or(noneValue))
        << passwordLine.arg(hasPassword ? storedValue : notStoredValue);
    if ((credentials.username || credentials.password) && !credentials.isUsable())
        out << incompleteMessage;
    return Success;
}

int AccountCommand::clear(KeychainHelper &keychain)
{
    const SecretStore::Result removed = KeychainCalls::remove(keychain);
    if (removed.status != SecretStore::Status::Done)
        return fail(clearFailedMessage, removed);
    QTextStream(stdout) << clearedMessage;
    return Success;
}
