#pragma once

class QWidget;

// Puts `window` in the middle of the screen it is on (the primary screen
// before it was first shown).
void CenterOnScreen(QWidget& window);
