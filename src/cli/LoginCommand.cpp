#include "cli/LoginCommand.h"

#include "auth/HTTPAuthService.h"
#include "auth/SignInAttempt.h"
#include "cli/KeychainCalls.h"
#include "cli/KeyringHint.h"
#include "cli/PasswordInput.h"
#include "common/Log.h"
#include "stats/StatisticsManager.h"
#include "store/KeychainHelper.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {
const QCommandLineOption usernameOption(QStringLiteral("username"),
                                        QStringLiteral("The portal account name (without it, the account stored with "
                                                       "'netlatchctl account set' is used)."),
                                        QStringLiteral("NAME"));
const QCommandLineOption passwordStdinOption(QStringLiteral("password-stdin"),
                                             QStringLiteral("Read the password from standard input."));
const QCommandLineOption verboseOption(QStringLiteral("verbose"), QStringLiteral("Copy every diagnostic line to stderr."));

const QString passwordWithoutUsernameError =
    QStringLiteral("--password-stdin goes with --username; without both, the stored account is used");
const QString noStoredAccountError =
    QStringLiteral("no complete account is stored: run 'netlatchctl account set' first, or pass --username "
                   "NAME --password-stdin");
const QString emptyUsernameError = QStringLiteral("the account name is empty");
const QString missingPasswordError = QStringLiteral("--password-stdin is required: pipe the password in");
const QString emptyPasswordError = QStringLiteral("the password read from standard input is empty");
const QString notUtf8Error =
    QStringLiteral("the password read from standard input is not UTF-8 text of at most 4 KiB");
const QString passwordPrompt = QStringLiteral("Password: ");
const QString unexpectedArgumentError = QStringLiteral("unexpected argument '%1'");
const QString keyringUnreadableMessage = QStringLiteral("netlatchctl login: could not read the keyring.\n");

const QString commandLine = QStringLiteral("netlatchctl login");
} // namespace

QString LoginCommand::name() const
{
    return QStringLiteral("login");
}

QString LoginCommand::summary() const
{
    return QStringLiteral("Sign in at the campus portal now");
}

Command::Syntax LoginCommand::syntax() const
{
    return {QStringLiteral("Signs this computer into the campus portal and prints each status as it changes.\n"
                           "Exit status: 0 signed in, 1 the sign-in failed, 2 usage error."),
            {},
            {usernameOption, passwordStdinOption, verboseOption}};
}

int LoginCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;
    if (!parser.positionalArguments().isEmpty())
        return usageError(commandLine, unexpectedArgumentError.arg(parser.positionalArguments().constFirst()));

    const std::optional<Account> account = accountFromOptions(parser, exitCode);
    if (!account)
        return exitCode;
    Log::setStderrCopy(parser.isSet(verboseOption));
    return signIn(*account);
}

std::optional<LoginCommand::Account> LoginCommand::accountFromOptions(const QCommandLineParser &parser,
                                                                      int &exitCode) const
{
    exitCode = UsageError;
    if (!parser.isSet(usernameOption)) {
        if (parser.isSet(passwordStdinOption)) {
            usageError(commandLine, passwordWithoutUsernameError);
            return std::nullopt;
        }
        return storedAccount(exitCode);
    }
    Account account{parser.value(usernameOption), {}};
    if (account.username.isEmpty()) {
        usageError(commandLine, emptyUsernameError);
        return std::nullopt;
    }
    if (!parser.isSet(passwordStdinOption)) {
        usageError(commandLine, missingPasswordError);
        return std::nullopt;
    }
    // One line; its line ending is no part of the password. A terminal gets a prompt without echo.
    const std::optional<QString> password = PasswordInput::readSecretLine(passwordPrompt);
    if (!password) {
        usageError(commandLine, notUtf8Error);
        return std::nullopt;
    }
    if (password->isEmpty()) {
        usageError(commandLine, emptyPasswordError);
        return std::nullopt;
    }
    account.password = *password;
    return account;
}

std::optional<LoginCommand::Account> LoginCommand::storedAccount(int &exitCode) const
{
    const KeychainHelper::Read read = KeychainCalls::load(m_context.keychain());
    const Credentials &credentials = read.credentials;
    // A keyring that cannot be read (absent, not answering, locked) is a failure, not a missing account.
    if (read.result.status != SecretStore::Status::Done) {
        QTextStream(stderr) << keyringUnreadableMessage << storeFailureHint(read.result);
        exitCode = Failure;
        return std::nullopt;
    }
    if (!credentials.isUsable()) {
        usageError(commandLine, noStoredAccountError);
        return std::nullopt;
    }
    return Account{*credentials.username, *credentials.password};
}

int LoginCommand::signIn(const Account &account) const
{
    HTTPAuthService &service = m_context.authService();
    NotificationCenter &center = NotificationCenter::defaultCenter();

    QTextStream out(stdout);
    // The success line waits until the sign-in is in the history: whoever sees it may stop the
    // process at once (a script, a SIGKILL) without losing the record.
    QString heldSuccess;
    const QMetaObject::Connection printing =
        QObject::connect(&service, &HTTPAuthService::statusMessageChanged, &service,
                         [&out, &heldSuccess](const QString &status) {
                             if (status == HTTPAuthService::successStatus)
                                 heldSuccess = status;
                             else
                                 out << status << Qt::endl;
                         });
    // The outcome's status line is published before its notification, so it is printed first.
    // A success starts the statistics upload and the history's write: let both finish (the upload has
    // its own time-outs) before exiting.
    StatisticsManager &statistics = m_context.statistics();
    const auto exitWhenSettled = [&statistics] {
        if (!statistics.isBusy())
            QCoreApplication::exit(Success);
        else
            QObject::connect(&statistics, &StatisticsManager::settled, &statistics,
                             [] { QCoreApplication::exit(Success); });
    };
    const auto printSuccess = [&out, &heldSuccess, exitWhenSettled] {
        if (!heldSuccess.isEmpty())
            out << heldSuccess << Qt::endl;
        exitWhenSettled();
    };
    const auto exitOnOutcome = [&statistics, printSuccess](const SignInAttempt::Outcome &outcome) {
        if (!outcome.succeeded)
            QCoreApplication::exit(Failure);
        else if (!statistics.hasUnwrittenRecords())
            printSuccess();
        else
            QObject::connect(&statistics, &StatisticsManager::recordsWritten, &statistics, printSuccess,
                             Qt::SingleShotConnection);
    };
    SignInAttempt attempt(service, center);
    attempt.start(account.username, account.password, exitOnOutcome);
    const int exitCode = QCoreApplication::exec();
    QObject::disconnect(printing);
    return exitCode;
}
