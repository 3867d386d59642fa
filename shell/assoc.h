// File associations in the registry: the viewer as handler of its nine
// document types, the previous handler kept beside it, and the restore that
// takes everything the viewer wrote out again. The dialog and the restore
// entry points are declared in features.h.
#pragma once
#include <windows.h>

// The stand-alone association switch: the program path the associations point
// at, and every box starts checked. Null clears both.
void associations_set_program(const char *path);

// Registers (checked) or unregisters (unchecked) every extension of the nine
// types for `program`, then tells the shell. False when some key could not be
// created because access was denied; the rows that could be written stay.
bool associations_apply(const bool checked[9], const char *program);

// Whether the first extension of type `row` (0..8) is currently handled by
// the type's ProgID.
bool associations_registered(int row);
