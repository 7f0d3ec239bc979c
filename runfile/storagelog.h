#pragma once

#include <QLoggingCategory>

// What lands on disk: the run files, their templates and recovery, the
// history database, the detail dialog's reading ("radarflow.storage").
Q_DECLARE_LOGGING_CATEGORY(lcStorage)
