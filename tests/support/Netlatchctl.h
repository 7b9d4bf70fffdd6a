#pragma once

#include <QProcess>
#include <QStringList>

// Runs a program to its end, as a user at a shell would. Header only: runNetlatchctl needs the
// test target's NETLATCHCTL_PATH, i.e.
//   target_compile_definitions(<test> PRIVATE NETLATCHCTL_PATH="$<TARGET_FILE:netlatchctl>")
//   add_dependencies(<test> netlatchctl)

/// What one run left behind. exitCode is -1 when the program did not finish or crashed.
struct ProgramRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

/// Runs `program` with `input` on its stdin (then closed) and waits for it to end.
inline ProgramRun
runProgram(const QString &program, const QStringList &arguments, const QByteArray &input = {},
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    // A hang guard only: the programs under test end by themselves.
    const bool finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {finished ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

#ifdef NETLATCHCTL_PATH
/// netlatchctl `arguments` (the command first, e.g. {"stats", "--json"}).
inline ProgramRun
runNetlatchctl(const QStringList &arguments, const QByteArray &input = {},
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    return runProgram(QStringLiteral(NETLATCHCTL_PATH), arguments, input, environment);
}
#endif
