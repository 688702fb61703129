#include "watch/registration_watch.h"

#include "common/shown_name.h"
#include "rows/directory_rows.h"
#include "watch/tree_notifier.h"

namespace {

// Names that settle within this much of the first are told with it: one
// judgement of a burst's names rather than one for each.
constexpr std::chrono::milliseconds kGather{250};

} // namespace

QString OverflowReason()
{
    return QStringLiteral("очередь уведомлений ядра переполнилась (fs.inotify.max_queued_events), "
                          "часть изменений могла пройти незамеченной");
}

RegistrationWatch::RegistrationWatch(std::chrono::milliseconds quiet, QObject* parent)
    : QObject(parent), m_notifier(new TreeNotifier(this)), m_waiting(quiet)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RegistrationWatch::tellSettled);
    connect(m_notifier, &TreeNotifier::changed, this, &RegistrationWatch::noteChange);
    connect(m_notifier, &TreeNotifier::overflowed, this, [this] {
        for (const Registration& registration : std::as_const(m_registrations)) {
            m_waiting.forgetBelow(registration.dir);
            emit lost(registration, OverflowReason());
        }
    });
    connect(m_notifier, &TreeNotifier::refused, this, [this](const QString& dir, const QString& reason) {
        for (const Registration& registration : std::as_const(m_registrations))
            if (InDirectory(dir, registration.dir))
                emit lost(registration,
                          QStringLiteral("директория ") + ShownName(dir) + QStringLiteral(" не отслеживается: ") + reason);
    });
}

RegistrationWatch::~RegistrationWatch() = default;

void RegistrationWatch::watch(const Registration& registration)
{
    m_registrations.append(registration);
    m_notifier->watchTree(registration.dir);
}

void RegistrationWatch::forget(qint32 registration)
{
    m_registrations.removeIf([&](const Registration& each) { return each.id == registration; });
}

qsizetype RegistrationWatch::watchCount() const
{
    return m_notifier->watchCount();
}

void RegistrationWatch::noteChange(const JudgedName& name)
{
    m_waiting.note(name, SettlingNames::Clock::now());
    if (!m_timer.isActive())
        armTimer();
}

void RegistrationWatch::tellSettled()
{
    const QList<JudgedName> quiet = m_waiting.takeSettled(SettlingNames::Clock::now());
    // Each registration's names, in the registrations' order.
    for (const Registration& registration : QList<Registration>(m_registrations)) {
        QList<JudgedName> names;
        for (const JudgedName& name : quiet)
            if (InDirectory(name.path, registration.dir))
                names.append(name);
        if (!names.isEmpty())
            emit settled(registration, names);
    }
    armTimer();
}

void RegistrationWatch::armTimer()
{
    const auto next = m_waiting.nextSettled();
    if (!next)
        return;
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*next - SettlingNames::Clock::now());
    m_timer.start(std::max(wait, std::chrono::milliseconds(0)) + kGather);
}
