#pragma once

#include <QString>

// `word` as a POSIX shell reads it back: as it is when it holds only
// characters a shell leaves alone, else in single quotes.
QString ShellQuoted(const QString& word);
