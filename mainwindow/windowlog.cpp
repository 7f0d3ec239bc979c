#include "windowlog.h"

Q_LOGGING_CATEGORY(lcMeasurement, "radarflow.measurement")
Q_LOGGING_CATEGORY(lcStation, "radarflow.station")
