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
// returns tab's rows): the window's list and the console's.
QList<Registration> ReadRegistrations(TIBQuery& query);

// The registration a command on dir acts on: the first of dir in the list's
// order, or the one with id when it is given (the window's selected line).
// Raises Exception naming dir when there is none.
Registration FindRegistration(TIBQuery& query, const QString& dir, std::optional<qint32> id = std::nullopt);

// Adds the tab row of a new registration of dir with the extension list, with
// the next id (see NextId), and returns that id.
qint32 AddRegistration(TIBQuery& query, const QString& dir, const QString& list);

// Deletes the tab row of the registration; its file rows are left.
void DeleteRegistration(TIBQuery& query, qint32 id);

// The number of files under control: the rows of table1 over all directories.
qint32 CountFilesUnderControl(TIBQuery& query);
