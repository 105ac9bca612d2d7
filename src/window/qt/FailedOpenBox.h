#pragma once

class QString;
class QWidget;

// The modal box that tells the user the output did not open: no title of
// its own, no icon, one OK button.
void showFailedOpen(QWidget* parent, const QString& message);
