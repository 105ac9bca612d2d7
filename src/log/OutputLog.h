#pragma once

#include <QLoggingCategory>

// Why an output did not open or stopped: each audio driver tried, the sound
// libraries' own error texts, JACK's status. Off unless QT_LOGGING_RULES
// turns it on ("tonvelo.output=true"); the user only ever sees one message box.
Q_DECLARE_LOGGING_CATEGORY(outputLog)
