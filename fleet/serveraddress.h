#pragma once

#include <QString>

class QSqlDatabase;

// Where a station's runs go: postgresql://USER@HOST[:PORT]/DBNAME[?sslmode=...].
// The password is never part of it: libpq finds it in ~/.pgpass, PGPASSFILE
// or PGPASSWORD, so it never stands on a command line, in the settings or in
// the log.
struct ServerAddress
{
    QString user;
    QString host;
    int port = 5432;
    QString database;
    // libpq's own parameters from the query (sslmode=verify-full ...), as the
    // driver takes them: "key=value;key=value".
    QString options;

    bool isValid() const { return !host.isEmpty() && !database.isEmpty(); }
    // The address as given, for the settings and the window.
    QString url;

    // Empty *error when text is a usable address; otherwise why not.
    static ServerAddress Parse(const QString &text, QString *error);
    // Letters, digits, '-', '_' and '.'; the row-level security on the server
    // compares it with the station's role name.
    static bool IsStationName(const QString &name);
    // The host name of this machine made into a station name.
    static QString DefaultStation();

    // A driver connection under name, not yet opened. Short connect and
    // keep-alive timeouts: a cut network must not hold the uploader for
    // minutes.
    QSqlDatabase Connection(const QString &name) const;
};
