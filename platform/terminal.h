#pragma once

#include <cstdio>

// Whether `stream` writes to a terminal, where a line can be rewritten in place.
bool IsTerminal(std::FILE* stream);
