#include "watch/settling_names.h"

#include "rows/directory_rows.h"
#include "scan/directory_entries.h"


void SettlingNames::note(const JudgedName& name, Clock::time_point now)
{
    const auto touch = [&](std::list<Waiting>::iterator at) {
        at->last = now;
        m_order.splice(m_order.end(), m_order, at);
    };
    // A tree waiting at the name or above it takes the change in.
    if (m_trees > 0) {
        for (QString path = name.path;; path = ParentOf(path)) {
            const auto at = m_at.constFind(path);
            if (at != m_at.cend() && (*at)->name.scope == JudgedName::Tree) {
                touch(*at);
                return;
            }
            if (path == u"/")
                break;
        }
    }
    JudgedName waiting = name;
    if (name.scope == JudgedName::Tree) {
        // What waits below it is judged with it.
        for (auto at = m_order.begin(); at != m_order.end();) {
            const auto next = std::next(at);
            if (InDirectory(at->name.path, name.path))
                drop(at);
            at = next;
        }
    } else if (const auto at = m_at.constFind(name.path); at != m_at.cend()) {
        // A name that has been a file and a directory meanwhile: all of it.
        if ((*at)->name.scope != name.scope) {
            (*at)->name.scope = JudgedName::Tree;
            ++m_trees;
        }
        touch(*at);
        return;
    }
    m_order.push_back({waiting, now});
    m_at.insert(waiting.path, std::prev(m_order.end()));
    if (waiting.scope == JudgedName::Tree)
        ++m_trees;
}

QList<JudgedName> SettlingNames::takeSettled(Clock::time_point now)
{
    QList<JudgedName> settled;
    while (!m_order.empty() && m_order.front().last + m_quiet <= now) {
        settled.append(m_order.front().name);
        drop(m_order.begin());
    }
    return settled;
}

void SettlingNames::forgetBelow(const QString& dir)
{
    for (auto at = m_order.begin(); at != m_order.end();) {
        const auto next = std::next(at);
        if (InDirectory(at->name.path, dir))
            drop(at);
        at = next;
    }
}

std::optional<SettlingNames::Clock::time_point> SettlingNames::nextSettled() const
{
    if (m_order.empty())
        return std::nullopt;
    return m_order.front().last + m_quiet;
}

void SettlingNames::drop(std::list<Waiting>::iterator at)
{
    if (at->name.scope == JudgedName::Tree)
        --m_trees;
    m_at.remove(at->name.path);
    m_order.erase(at);
}
