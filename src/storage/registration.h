#pragma once

#include <QList>
#include <QString>
#include <optional>

class TIBQuery;

// A directory under control: one tab row. The same directory may stand in
// several, each a registration of its own with its own rows.
struct Registration {
    qint32 id = 0;
    QString dir;
    QString list; // the extension list
};

// Every registration, in the order of the directory list (as the database
// returns tab's rows).
QList<Registration> ReadRegistrations(TIBQuery& query);

// The registration a command on dir acts on: the first of dir in the list's
// order, or the one with id when it is given (the window's selected line).
// Raises Exception naming dir when there is none.
Registration FindRegistration(TIBQuery& query, const QString& dir, std::optional<qint32> id = std::nullopt);
