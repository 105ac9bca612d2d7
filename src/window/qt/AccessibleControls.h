#pragma once

// What assistive technology learns of the keyboard window's own controls:
// each key as a button named by its pitch that reports itself pressed while
// held, the velocity bar as a slider whose value is the velocity, and the
// device and channel entries as choices that are checked or not. Idempotent.
void installAccessibleControls();
