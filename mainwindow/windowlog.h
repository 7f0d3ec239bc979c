#pragma once

#include <QLoggingCategory>

// The measurement cycle and the read-back of the settings
// ("radarflow.measurement"); the station's start, signals and reconnection
// ("radarflow.station").
Q_DECLARE_LOGGING_CATEGORY(lcMeasurement)
Q_DECLARE_LOGGING_CATEGORY(lcStation)
