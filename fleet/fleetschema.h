#pragma once

#include <QString>

class QSqlDatabase;

// The tables the fleet's server holds: the contract with the office's other
// tools (Grafana, spreadsheets, psql), so their names and columns stay.
namespace FleetSchema {

// The schema this program writes; a later version migrates from the number
// in schema_version.
constexpr int Version = 1;

// Creates what is missing on an open connection, in one transaction under an
// advisory lock so that stations connecting together do not race. A server
// set up by the office already has it all and is only read. False, with the
// reason, when the schema is missing and cannot be made, or is newer.
bool Ensure(QSqlDatabase &db, QString *error);

// The statements that make the schema, for the server set-up and the tests.
QString CreateStatements();

} // namespace FleetSchema
