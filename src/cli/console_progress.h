#pragma once

#include "common/progress.h"

#include <QElapsedTimer>
#include <QTextStream>

// Progress on a terminal: one line on stderr that rewrites itself a few times a
// second, erased when the command ends. Quiet when stderr is not a terminal, so
// that scripts and cron see only the plain output.
class ConsoleProgress : public Progress {
public:
    ConsoleProgress(QTextStream& err, bool enabled, QString command);
    ~ConsoleProgress() override;

protected:
    void showWalking(const QString& dir, qint64 recorded) override;
    void showJudging(const QString& pass, qint64 done, qint64 total) override;

private:
    // Whether to show a line now: a few times a second, or forced.
    bool due(bool force);
    void show(const QString& line);

    QTextStream& m_err;
    bool m_enabled;
    QString m_command;
    QElapsedTimer m_sinceShown;
    bool m_shown = false;
};
