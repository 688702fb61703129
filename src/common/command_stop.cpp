#include "common/command_stop.h"

#include <cstring>

static QString stoppedText(int signal)
{
    if (signal <= 0)
        return QStringLiteral("Команда остановлена, сделанное ею отменено");
    const char* name = sigabbrev_np(signal);
    return QStringLiteral("Команда остановлена сигналом SIG%1, сделанное ею отменено")
        .arg(name ? QString::fromLatin1(name) : QString::number(signal));
}

ECommandStopped::ECommandStopped(int signal) : Exception(stoppedText(signal)), m_signal(signal) {}

ECommandStopped::ECommandStopped(int signal, QString message) : Exception(std::move(message)), m_signal(signal) {}

void StopIfAsked()
{
    const int signal = CommandStop::signal();
    if (signal >= 0)
        throw ECommandStopped(signal);
}
