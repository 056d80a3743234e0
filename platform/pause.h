#pragma once

#include <functional>

// The pauses between tiles and attempts (1 s, 2 s, 8 s, the start stagger).
// Held as a function so that tests can run them without sleeping.
using PauseFunction = std::function<void(int milliseconds)>;
