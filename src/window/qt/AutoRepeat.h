#pragma once

// Asks the X server to report a held key as repeated presses alone, without
// the release before each one, so that a repeat can never end a note. Does
// nothing on other platforms. True when the server agreed.
bool useDetectableAutoRepeat();
