#pragma once

#include <QProcess>
#include <QString>

// Another program holding a database: the engine's own console, isql-fb, in
// the engine's default mode (as installed),
// connected to it until released.
class DatabaseHolder {
public:
    // Returns once isql-fb has connected; false if it could not.
    bool hold(const QString& file);
    void release();
    ~DatabaseHolder() { release(); }

private:
    QProcess m_isql;
};
