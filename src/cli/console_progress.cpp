#include "cli/console_progress.h"

#include "common/shown_name.h"

ConsoleProgress::ConsoleProgress(QTextStream& err, bool enabled, QString command)
    : m_err(err), m_enabled(enabled), m_command(std::move(command))
{
}

ConsoleProgress::~ConsoleProgress()
{
    if (m_shown) {
        m_err << "\r\x1b[K";
        m_err.flush();
    }
}

void ConsoleProgress::showWalking(const QString& dir, qint64 recorded)
{
    if (due(false))
        show(QStringLiteral("%1: %2 файлов, %3").arg(m_command).arg(recorded).arg(ShownName(dir)));
}

void ConsoleProgress::showJudging(const QString& pass, qint64 done, qint64 total)
{
    if (due(done == total))
        show(QStringLiteral("%1: %2: %3 из %4").arg(m_command, pass).arg(done).arg(total));
}

bool ConsoleProgress::due(bool force)
{
    if (!m_enabled || (m_shown && !force && m_sinceShown.elapsed() < 100))
        return false;
    m_sinceShown.start();
    m_shown = true;
    return true;
}

void ConsoleProgress::show(const QString& line)
{
    // Cut to a terminal's usual width so the line never wraps and can be
    // rewritten in place.
    m_err << '\r' << line.left(79) << "\x1b[K";
    m_err.flush();
}
