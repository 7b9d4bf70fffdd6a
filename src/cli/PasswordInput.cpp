#include "cli/PasswordInput.h"

#include "common/StrictUtf8.h"

#include <csignal>
#include <iterator>
#include <cstdio>
#include <iostream>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace {

// The terminal state to restore; a signal handler reads it, so it lives outside any object.
termios savedTerminal;
volatile std::sig_atomic_t echoIsOff = 0;
constexpr int restoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int restoringSignalCount = int(std::size(restoringSignals));

extern "C" void restoreEchoAndRaise(int signal)
{
    if (echoIsOff)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void showPrompt(const QString &prompt)
{
    std::fputs(prompt.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

std::optional<QString> readStdinLine()
{
    // Read up to the bound and no further: a line without end must not fill the memory.
    std::string line;
    for (std::istream::int_type c = std::cin.get(); c != std::istream::traits_type::eof() && c != '\n';
         c = std::cin.get()) {
        if (line.size() > PasswordInput::maxLineBytes) // one byte spare for a "\r"
            return std::nullopt;
        line.push_back(char(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > PasswordInput::maxLineBytes)
        return std::nullopt;
    return StrictUtf8::decode(QByteArray::fromStdString(line));
}

// Switches echo off for its lifetime; a no-op when stdin is not a terminal.
class EchoOff
{
public:
    EchoOff()
    {
        if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
            return;
        for (int i = 0; i < restoringSignalCount; ++i)
            m_previousHandlers[i] = std::signal(restoringSignals[i], restoreEchoAndRaise);
        m_handlersInstalled = true;
        termios silent = savedTerminal;
        silent.c_lflag &= ~tcflag_t(ECHO);
        echoIsOff = tcsetattr(STDIN_FILENO, TCSANOW, &silent) == 0;
    }
    ~EchoOff()
    {
        if (echoIsOff) {
            tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
            echoIsOff = 0;
            // The Enter the user typed was not echoed either.
            std::fputc('\n', stderr);
        }
        if (m_handlersInstalled) {
            for (int i = 0; i < restoringSignalCount; ++i)
                std::signal(restoringSignals[i], m_previousHandlers[i]);
        }
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    void (*m_previousHandlers[restoringSignalCount])(int) = {};
    bool m_handlersInstalled = false;
};

} // namespace

namespace PasswordInput {

bool stdinIsTerminal()
{
    return isatty(STDIN_FILENO) == 1;
}

std::optional<QString> readLine(const QString &prompt)
{
    if (stdinIsTerminal())
        showPrompt(prompt);
    return readStdinLine();
}

std::optional<QString> readSecretLine(const QString &prompt)
{
    if (!stdinIsTerminal())
        return readStdinLine();
    // Echo goes off before the prompt appears, so that nothing typed (or pasted) right after the
    // prompt is echoed; input already waiting is kept rather than flushed.
    const EchoOff echoOff;
    showPrompt(prompt);
    return readStdinLine();
}

} // namespace PasswordInput
