#pragma once

#include "common/progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

// The progress of a long command in a window of its own, over the main window.
//
// Commands run on the one user-interface thread; as they report progress, this
// lets the event loop paint and answer the desktop a few dozen times a second,
// so the window never looks hung. The window shows only once the command has
// taken half a second. It is modal: while it shows, only its button "Отмена"
// (or Escape) takes input, and asks the command to stop; before it shows, no
// user input is taken at all. Its close box does nothing.
class ProgressWindow : public Progress {
public:
    ProgressWindow(QWidget* parent, QString command);
    ~ProgressWindow() override;

    // The dialog, once it has been made (for tests).
    QProgressDialog* dialog() const { return m_dialog; }

    // How long a command runs before the window shows, in milliseconds.
    static inline int showAfterMs = 500;

protected:
    void showWalking(const QString& dir, qint64 recorded) override;
    void showJudging(const QString& pass, qint64 done, qint64 total) override;

private:
    bool due();
    void update(const QString& text, qint64 done, qint64 total);

    QWidget* m_parent;
    QString m_command;
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_started;
    QElapsedTimer m_sinceEvents;
};
