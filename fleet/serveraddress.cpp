#include "serveraddress.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>

namespace {

// The parameters a station may pass on to libpq. Anything that could carry a
// password or name another service is left out.
const QStringList PassedOn{
    QStringLiteral("sslmode"),          QStringLiteral("sslrootcert"),
    QStringLiteral("sslcert"),          QStringLiteral("sslkey"),
    QStringLiteral("sslcrl"),           QStringLiteral("connect_timeout"),
    QStringLiteral("application_name"), QStringLiteral("target_session_attrs")};

} // namespace

ServerAddress ServerAddress::Parse(const QString &text, QString *error)
{
    ServerAddress address;
    error->clear();
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("postgresql") &&
                           url.scheme() != QLatin1String("postgres"))) {
        *error =
            QStringLiteral("'%1' is no postgresql://USER@HOST[:PORT]/DBNAME address").arg(text);
        return address;
    }
    if (!url.password().isEmpty()) {
        *error = QStringLiteral("the address must not hold a password: libpq takes it from "
                                "~/.pgpass, PGPASSFILE or PGPASSWORD");
        return address;
    }
    address.user = url.userName();
    address.host = url.host();
    address.port = url.port(5432);
    address.database = url.path().mid(1);
    if (address.user.isEmpty() || address.host.isEmpty() || address.database.isEmpty() ||
        address.database.contains(QLatin1Char('/'))) {
        *error = QStringLiteral("'%1' lacks the user, host or database: "
                                "postgresql://USER@HOST[:PORT]/DBNAME")
                     .arg(text);
        return address;
    }
    QStringList options;
    for (const auto &item : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (!PassedOn.contains(item.first)) {
            *error = QStringLiteral("unknown parameter '%1' in the server address").arg(item.first);
            return address;
        }
        options << item.first + QLatin1Char('=') + item.second;
    }
    // The driver takes ';' between parameters, so a value must not hold one.
    if (options.join(QString()).contains(QLatin1Char(';'))) {
        *error = QStringLiteral("a parameter of the server address holds ';'");
        return address;
    }
    address.options = options.join(QLatin1Char(';'));
    address.url = text;
    return address;
}

bool ServerAddress::IsStationName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9._-]{1,63}$"));
    return pattern.match(name).hasMatch();
}

QString ServerAddress::DefaultStation()
{
    QString name = QSysInfo::machineHostName();
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return name.isEmpty() ? QStringLiteral("station") : name.left(63);
}

QSqlDatabase ServerAddress::Connection(const QString &name) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(database);
    db.setUserName(user);
    QStringList connectOptions{QStringLiteral("keepalives_idle=30"),
                               QStringLiteral("keepalives_interval=10"),
                               QStringLiteral("keepalives_count=3")};
    if (!options.contains(QLatin1String("connect_timeout=")))
        connectOptions << QStringLiteral("connect_timeout=5");
    if (!options.isEmpty())
        connectOptions << options;
    db.setConnectOptions(connectOptions.join(QLatin1Char(';')));
    return db;
}
