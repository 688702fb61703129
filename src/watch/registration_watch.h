#pragma once

#include "check/judge_names.h"
#include "rows/registration.h"
#include "watch/settling_names.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <chrono>

class TreeNotifier;

// Watches the trees of registrations as their files change, widget-free and
// database-free: the console's watch and the window both judge what it
// tells. Each changed name is told once it has been quiet for `quiet`,
// with the other names of its registration quiet by then; a name in
// several registrations (a directory under control twice, or inside
// another) is told to each. Where changes may have gone unseen, the
// registrations concerned are told as lost, for a check of all of them.
// Runs on the thread that made it, from its event loop; raises nothing
// there.
class RegistrationWatch : public QObject {
    Q_OBJECT
public:
    // Raises Exception when the kernel gives no notifications.
    explicit RegistrationWatch(std::chrono::milliseconds quiet, QObject* parent = nullptr);
    ~RegistrationWatch() override;

    // Watches the registration's tree from now on.
    void watch(const Registration& registration);
    // Watches it no more (it was taken out of control); its directories stay
    // watched where another registration holds them.
    void forget(qint32 registration);
    // The directories watched.
    qsizetype watchCount() const;

signals:
    void settled(const Registration& registration, const QList<JudgedName>& names);
    // Changes of the registration's tree may have gone unseen, for the
    // reason given: the kernel dropped notifications, or a directory of it
    // could not be watched.
    void lost(const Registration& registration, const QString& reason);

private:
    void noteChange(const JudgedName& name);
    void tellSettled();
    void armTimer();

    TreeNotifier* m_notifier;
    SettlingNames m_waiting;
    QTimer m_timer;
    QList<Registration> m_registrations;
};

// Why notifications are lost when the kernel's queue overflowed.
QString OverflowReason();
