#include "log/OutputLog.h"

// Messages go out at info level, which this threshold keeps off by default.
Q_LOGGING_CATEGORY(outputLog, "tonvelo.output", QtWarningMsg)
