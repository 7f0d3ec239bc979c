#pragma once

#include <QLoggingCategory>

// The conversation with the instrument: frames written, received and
// resent, decode results, the request gate. A station's log is made quieter
// or louder here without a rebuild: QT_LOGGING_RULES="radarflow.link.debug=false".
Q_DECLARE_LOGGING_CATEGORY(lcLink)
