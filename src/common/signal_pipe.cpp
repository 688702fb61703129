#include "common/signal_pipe.h"

#include "common/exception.h"
#include "common/program_signals.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

SignalPipe::SignalPipe()
{
    if (pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception(QStringLiteral("Не удалось создать канал для сигналов: ")
                        + QString::fromLocal8Bit(std::strerror(errno)));
    SetSignalNotifyFd(m_fds[1]);
}

SignalPipe::~SignalPipe()
{
    SetSignalNotifyFd(-1);
    close(m_fds[0]);
    close(m_fds[1]);
}

void SignalPipe::drain()
{
    char bytes[16];
    while (read(m_fds[0], bytes, sizeof bytes) > 0) {
    }
}
