#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QList>
#include <QStringList>

// The lines of a pane as the task's files hold them: one byte buffer in
// the local 8-bit encoding with CR LF after every line, and where each line
// starts. Half a million log lines take about 25 MB, where a text document
// would hold several hundred.
class PaneLines {
public:
    void Set(const QStringList& lines);
    void Append(const QString& line);

    qsizetype Count() const { return lineStarts_.size(); }
    QString Line(qsizetype row) const;
    // The line with the most characters, -1 when there is none.
    qsizetype LongestRow() const { return longestRow_; }

private:
    void Add(const QString& line);

    QByteArray fileBytes_;
    QList<qsizetype> lineStarts_;
    qsizetype longestRow_ = -1;
    qsizetype longestLength_ = -1;
};

// A read-only pane that shows the lines of a task file (the log, the
// failed-tile list); the run writes the file itself. It paints only the rows
// in view, so appending costs the same at any length.
// Whole rows can be selected with the mouse (Shift extends) or Ctrl+A, and
// copied with Ctrl+C or the context menu.
class LogPane : public QAbstractScrollArea {
public:
    explicit LogPane(QWidget* parent = nullptr);

    void SetLines(const QStringList& lines);
    // Follows the end of the log unless the user has scrolled away from it.
    // A batch costs one update of the view, however many lines it holds.
    void AppendLine(const QString& line);
    void AppendLines(const QStringList& lines);

    QStringList Lines() const;
    qsizetype LineCount() const { return lines_.Count(); }

    // The selected rows joined by line feeds; empty when nothing is selected.
    QString SelectedText() const;
    void SelectAll();
    void CopySelection() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int RowHeight() const;
    qsizetype RowAt(const QPoint& viewportPosition) const;
    bool HasSelection() const { return anchorRow_ >= 0; }
    qsizetype SelectionFirst() const { return qMin(anchorRow_, cursorRow_); }
    qsizetype SelectionLast() const { return qMax(anchorRow_, cursorRow_); }
    void UpdateScrollBars();
    void ScrollToEnd();

    PaneLines lines_;
    int contentWidth_ = 0;
    qsizetype anchorRow_ = -1;  // -1: nothing selected
    qsizetype cursorRow_ = -1;
};
