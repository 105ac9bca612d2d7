#pragma once

#include <string>

#include <QString>

// A menu entry's caption as Qt shows it.
QString deviceCaption(const std::string& name);
