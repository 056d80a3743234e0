#pragma once

#include <QtGlobal>

class MDTask;

// A failed-tile list holds one record per tile that failed and has not been
// stored since. When a task continues, its workers meet again every tile
// past their saved positions: the records of those tiles go (a tile that
// fails again gets its record back, one that is stored gets none), and so
// do records repeated by earlier runs. The records of tiles behind the saved
// positions stay, since this run will not meet those tiles; lines that name
// none of the task's tiles stay too, each once. The list keeps its format
// and is replaced atomically, only when a record went. Returns the records
// kept; raises FileWriteError when the list cannot be replaced.
qint64 WithdrawFailedRecordsAhead(const MDTask& task);
