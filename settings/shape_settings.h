#pragma once

// IniParas/ShapeCorridorKm: the corridor the main window last used for an
// area from a file, in kilometres on each side; 1 when missing or not a
// number of 0 or more.
double ReadShapeCorridorKm();
void WriteShapeCorridorKm(double kilometres);
