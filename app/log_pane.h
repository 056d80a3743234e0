#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QStringList>

// A read-only text pane whose lines are also a task file (the log, the
// failed-tile list). Beside the view it keeps the lines exactly as the file
// holds them, so saving never has to read the text back out of the view, and
// a save while the task runs only appends the lines added since the last one:
// the five-second save costs the same with ten lines or half a million.
class LogPane : public QPlainTextEdit {
public:
    explicit LogPane(QWidget* parent = nullptr);

    void SetLines(const QStringList& lines);
    void AppendLine(const QString& line);

    QStringList Lines() const;
    qsizetype LineCount() const { return lineCount_; }

    // Afterwards `fileName` holds every line followed by CR LF and nothing
    // else. Appends when the file is still as this pane's last save left it,
    // otherwise replaces it atomically. Raises AppError when it cannot write.
    void SaveToFile(const QString& fileName);

private:
    bool FileIsAsLastSaved(const QString& fileName) const;
    void RememberSave(const QString& fileName);

    QByteArray fileBytes_;  // every line in the local 8-bit encoding, each with CR LF
    qsizetype lineCount_ = 0;
    QString savedFileName_;
    qint64 savedSize_ = -1;
    QDateTime savedModified_;
};
