#pragma once

#include "common/progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

// The progress of a long command in a window of its own, over the main window.
//
// Commands run on the one user-interface thread; as they report progress, this
// lets the event loop paint and answer the desktop (without taking user input),
// a few dozen times a second, so the window never looks hung. The window shows
// only once the command has taken half a second. It is modal and has no cancel
// button: a half-recorded baseline or a half-judged check would be worse than
// waiting. Closing it does nothing.
class ProgressWindow : public Progress {
public:
    ProgressWindow(QWidget* parent, QString command);
    ~ProgressWindow() override;

    void walking(const QString& dir, qint64 recorded) override;
    void judging(const QString& pass, qint64 done, qint64 total) override;

    // The dialog, once it has been made (for tests).
    QProgressDialog* dialog() const { return m_dialog; }

    // How long a command runs before the window shows, in milliseconds.
    static inline int showAfterMs = 500;

private:
    bool due();
    void update(const QString& text, qint64 done, qint64 total);

    QWidget* m_parent;
    QString m_command;
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceEvents;
};
