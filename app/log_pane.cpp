#include "app/log_pane.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {
constexpr int kMargin = 3;
}

void PaneLines::Set(const QStringList& lines)
{
    fileBytes_.clear();
    lineStarts_.clear();
    longestRow_ = longestLength_ = -1;
    lineStarts_.reserve(lines.size());
    for (const QString& line : lines)
        Add(line);
}

void PaneLines::Append(const QString& line)
{
    Add(line);
}

void PaneLines::Add(const QString& line)
{
    if (line.size() > longestLength_) {
        longestLength_ = line.size();
        longestRow_ = lineStarts_.size();
    }
    lineStarts_.append(fileBytes_.size());
    fileBytes_ += line.toLocal8Bit();
    fileBytes_ += "\r\n";
}

QString PaneLines::Line(qsizetype row) const
{
    const qsizetype start = lineStarts_[row];
    const qsizetype end = row + 1 < lineStarts_.size() ? lineStarts_[row + 1] : fileBytes_.size();
    return QString::fromLocal8Bit(fileBytes_.constData() + start, end - start - 2);
}

LogPane::LogPane(QWidget* parent) : QAbstractScrollArea(parent)
{
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::ClickFocus);
}

void LogPane::SetLines(const QStringList& lines)
{
    lines_.Set(lines);
    anchorRow_ = cursorRow_ = -1;
    contentWidth_ = 0;
    ScrollToEnd();
}

void LogPane::AppendLine(const QString& line)
{
    AppendLines({line});
}

void LogPane::AppendLines(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    const qsizetype longestBefore = lines_.LongestRow();
    for (const QString& line : lines)
        lines_.Append(line);
    if (lines_.LongestRow() != longestBefore)
        contentWidth_ = 0;
    if (atEnd)
        ScrollToEnd();
    else
        UpdateScrollBars();
}

QStringList LogPane::Lines() const
{
    QStringList lines;
    lines.reserve(lines_.Count());
    for (qsizetype row = 0; row < lines_.Count(); ++row)
        lines.append(lines_.Line(row));
    return lines;
}

int LogPane::RowHeight() const
{
    return fontMetrics().lineSpacing();
}

void LogPane::UpdateScrollBars()
{
    if (contentWidth_ == 0 && lines_.LongestRow() >= 0)
        contentWidth_ = fontMetrics().horizontalAdvance(lines_.Line(lines_.LongestRow())) + 2 * kMargin;
    const int visibleRows = qMax(1, viewport()->height() / RowHeight());
    verticalScrollBar()->setRange(0, int(qMax<qsizetype>(0, lines_.Count() - visibleRows)));
    verticalScrollBar()->setPageStep(visibleRows);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, qMax(0, contentWidth_ - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(RowHeight());
    viewport()->update();
}

void LogPane::ScrollToEnd()
{
    UpdateScrollBars();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogPane::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const int rowHeight = RowHeight();
    const int ascent = fontMetrics().ascent();
    const qsizetype first = verticalScrollBar()->value();
    const int left = kMargin - horizontalScrollBar()->value();
    for (qsizetype row = first, y = 0; row < lines_.Count() && y < viewport()->height(); ++row, y += rowHeight) {
        const bool selected = HasSelection() && row >= SelectionFirst() && row <= SelectionLast();
        if (selected)
            painter.fillRect(0, int(y), viewport()->width(), rowHeight, palette().color(QPalette::Highlight));
        painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        // A line may hold line ends of its own (a socket error's text, the
        // ban message); the pane shows it on one row.
        QString line = lines_.Line(row);
        line.replace(u'\r', u' ').replace(u'\n', u' ');
        painter.drawText(left, int(y) + ascent, line);
    }
}

void LogPane::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    const bool atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    UpdateScrollBars();
    if (atEnd)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogPane::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        contentWidth_ = 0;
        UpdateScrollBars();
    }
}

qsizetype LogPane::RowAt(const QPoint& viewportPosition) const
{
    const qsizetype row = verticalScrollBar()->value() + qMax(0, viewportPosition.y()) / RowHeight();
    return qMin(row, lines_.Count() - 1);
}

void LogPane::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || lines_.Count() == 0)
        return QAbstractScrollArea::mousePressEvent(event);
    cursorRow_ = RowAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier) || !HasSelection())
        anchorRow_ = cursorRow_;
    viewport()->update();
}

void LogPane::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !HasSelection())
        return QAbstractScrollArea::mouseMoveEvent(event);
    const QPoint position = event->position().toPoint();
    // Dragging past the top or bottom edge scrolls on.
    if (position.y() < 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
    else if (position.y() >= viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
    cursorRow_ = RowAt(position);
    viewport()->update();
}

void LogPane::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy))
        CopySelection();
    else if (event->matches(QKeySequence::SelectAll))
        SelectAll();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void LogPane::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(tr("&Copy"), QKeySequence::Copy, this, &LogPane::CopySelection)->setEnabled(HasSelection());
    menu.addAction(tr("Select &All"), QKeySequence::SelectAll, this, &LogPane::SelectAll)
        ->setEnabled(lines_.Count() > 0);
    menu.exec(event->globalPos());
}

QString LogPane::SelectedText() const
{
    if (!HasSelection())
        return {};
    QStringList rows;
    for (qsizetype row = SelectionFirst(); row <= SelectionLast(); ++row)
        rows.append(lines_.Line(row));
    return rows.join(u'\n');
}

void LogPane::SelectAll()
{
    if (lines_.Count() == 0)
        return;
    anchorRow_ = 0;
    cursorRow_ = lines_.Count() - 1;
    viewport()->update();
}

void LogPane::CopySelection() const
{
    if (HasSelection())
        QGuiApplication::clipboard()->setText(SelectedText());
}
