#include "app/log_pane.h"

#include "platform/app_error.h"
#include "platform/text_files.h"

#include <QFile>
#include <QFileInfo>

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // The pane shows what the file holds, so it never drops old lines.
    setMaximumBlockCount(0);
}

void LogPane::SetLines(const QStringList& lines)
{
    fileBytes_.clear();
    for (const QString& line : lines)
        fileBytes_ += line.toLocal8Bit() + "\r\n";
    lineCount_ = lines.size();
    savedFileName_.clear();
    setPlainText(lines.join(u'\n'));
}

void LogPane::AppendLine(const QString& line)
{
    fileBytes_ += line.toLocal8Bit();
    fileBytes_ += "\r\n";
    ++lineCount_;
    appendPlainText(line);
}

QStringList LogPane::Lines() const
{
    return SplitTextLines(fileBytes_);
}

void LogPane::SaveToFile(const QString& fileName)
{
    if (!FileIsAsLastSaved(fileName)) {
        WriteFileAtomically(fileName, fileBytes_);
        RememberSave(fileName);
        return;
    }
    if (savedSize_ == fileBytes_.size())
        return;
    QFile file(fileName);
    const QByteArray added = fileBytes_.mid(savedSize_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(added) != added.size()
        || !file.flush()) {
        // A partly appended tail must not make the next save append after it.
        savedFileName_.clear();
        throw AppError(QStringLiteral("Cannot create file ") + fileName);
    }
    file.close();
    RememberSave(fileName);
}

bool LogPane::FileIsAsLastSaved(const QString& fileName) const
{
    if (savedFileName_ != fileName)
        return false;
    const QFileInfo info(fileName);
    return info.exists() && info.size() == savedSize_ && info.lastModified() == savedModified_;
}

void LogPane::RememberSave(const QString& fileName)
{
    const QFileInfo info(fileName);
    savedFileName_ = fileName;
    savedSize_ = info.size();
    savedModified_ = info.lastModified();
}
