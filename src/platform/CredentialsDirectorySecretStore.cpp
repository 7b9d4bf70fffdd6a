#include "platform/CredentialsDirectorySecretStore.h"

#include "common/Log.h"
#include "store/KeychainHelper.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString filePrefix = QStringLiteral("netlatch.");
const QString readableByOthersProblem =
    QStringLiteral("%1 may be read by others than its owner (mode %2); it is not used. Keep it readable by "
                   "its owner alone (chmod 600), or let systemd hand it over with LoadCredential=.");
const QString unreadableProblem = QStringLiteral("%1 cannot be read: %2");
const QString tooLargeProblem = QStringLiteral("%1 is larger than a portal account can be");
const QString readOnlyProblem =
    QStringLiteral("the account comes from the service's credentials (%1) and cannot be changed here");
const QString refusedLog = QStringLiteral("⚠️ 凭据文件不可用: ");

// A name or a password is a line; anything this large is not one.
constexpr qint64 maxFileSize = 64 * 1024;

QString fileName(const QString &directory, const QString &account)
{
    return QDir(directory).filePath(filePrefix + account);
}

// One line ending at the end (a file written with echo) is no part of the field.
QByteArray withoutLineEnding(QByteArray data)
{
    if (data.endsWith('\n'))
        data.chop(data.endsWith("\r\n") ? 2 : 1);
    return data;
}

} // namespace

bool CredentialsDirectorySecretStore::holdsAccount(const QString &directory)
{
    return !directory.isEmpty() && QFile::exists(fileName(directory, KeychainHelper::usernameAccount))
        && QFile::exists(fileName(directory, KeychainHelper::passwordAccount));
}

CredentialsDirectorySecretStore::CredentialsDirectorySecretStore(QString directory)
    : m_directory(std::move(directory))
{
}

void CredentialsDirectorySecretStore::readItems(const QString &service, const QObject *receiver, ReadHandler done)
{
    Items items;
    const Result result = service == KeychainHelper::service ? read(items) : Result{};
    answerLater(receiver, [done = std::move(done), result, items] { done(result, items); });
}

void CredentialsDirectorySecretStore::replaceItems(const QString &, const Items &, const QObject *receiver,
                                                   WriteHandler done)
{
    const Result result{Status::Unavailable, readOnlyProblem.arg(m_directory)};
    answerLater(receiver, [done = std::move(done), result] { done(result); });
}

SecretStore::Result CredentialsDirectorySecretStore::read(Items &items) const
{
    for (const QString &account : {KeychainHelper::usernameAccount, KeychainHelper::passwordAccount}) {
        const QString path = fileName(m_directory, account);
        const auto refuse = [](const QString &problem) {
            Log::write(refusedLog + problem);
            return Result{Status::Unavailable, problem};
        };
        // The mode is read from the file that was opened, so a file swapped in between is not read
        // unchecked.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return refuse(unreadableProblem.arg(path, QString::fromLocal8Bit(::strerror(errno))));
        QFile file;
        file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
            return refuse(unreadableProblem.arg(path, QStringLiteral("not a regular file")));
        if ((status.st_mode & (S_IRGRP | S_IROTH)) != 0)
            return refuse(readableByOthersProblem.arg(path, QString::number(status.st_mode & 07777, 8)));
        const QByteArray data = file.read(maxFileSize + 1);
        if (data.size() > maxFileSize)
            return refuse(tooLargeProblem.arg(path));
        items.insert(account, withoutLineEnding(data));
    }
    return {};
}
