#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What a checker remembers of the seals it verified, outside every database,
// so that an older copy of a database put back, or another database put in
// its place, is told: the highest generation seen of each database (by its
// identity), and the database last seen at each path. Root's memory is
// /var/lib/kvaren/seals, a user's $XDG_STATE_HOME/kvaren/seals
// (~/.local/state/...); $KVAREN_STATE_DIR names another directory.
class SealMemory {
public:
    // Reads what was remembered; nothing where there is no memory yet, or it
    // cannot be read.
    SealMemory();

    // The highest generation seen of the database, or none.
    std::optional<qint64> generationOf(const QByteArray& database) const;
    // The database last seen at path, or none.
    std::optional<QByteArray> databaseAt(const QString& path) const;

    // Remembers that the database of that generation was seen at path. Gives
    // why it could not, or an empty text: a check that cannot remember still
    // reports what it found.
    QString remember(const QString& path, const QByteArray& database, qint64 generation);

    // The file it is kept in.
    static QString file();

private:
    struct Seen {
        QByteArray database;
        qint64 generation = 0;
        QString path; // empty once another database was seen there
    };
    QList<Seen> m_seen;
};
