#pragma once

#include <string>

#include <QString>

// The device menu's caption for a port's name.
QString deviceCaption(const std::string& name);
