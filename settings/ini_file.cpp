#include "settings/ini_file.h"

#include "platform/app_error.h"
#include "platform/number_text.h"
#include "platform/regular_file_read.h"
#include "platform/text_files.h"

#include <QDir>
#include <QFileInfo>

namespace {
AppError UnableToWrite(const QString& fileName, const QString& reason)
{
    return AppError(QStringLiteral("Unable to write to ")
        + QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()) + QStringLiteral(": ") + reason);
}
}

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {}

// A missing or unreadable file reads as empty; an unreadable one is never
// replaced by a write, which would lose all its other lines.
IniDocument& TIniFile::Document() const
{
    if (!document_) {
        RegularFileBytes file = ReadRegularFile(fileName_, kMaxFileBytes, LinkRule::Follow);
        switch (file.Result) {
        case RegularFileBytes::Outcome::Read:
        case RegularFileBytes::Outcome::Missing:
            break;
        case RegularFileBytes::Outcome::TooLarge:
            unreadable_ = QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileBytes);
            break;
        case RegularFileBytes::Outcome::Refused:
            unreadable_ = file.Problem;
            break;
        }
        document_.emplace(std::move(file.Bytes));
    }
    return *document_;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    return Document().Value(section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    return ParseWholeNumber(ReadString(section, key, QString())).value_or(defaultValue);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    Document().Set(section, key, value);
    changed_ = true;
    if (!deferWrites_)
        Save();
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteAtOnce(const std::function<void()>& writes)
{
    deferWrites_ = true;
    try {
        writes();
    } catch (...) {
        deferWrites_ = changed_ = false;
        document_.reset();  // the next use reads the file as it still is
        throw;
    }
    deferWrites_ = false;
    if (changed_)
        Save();
}

void TIniFile::Save()
{
    const QByteArray bytes = Document().Bytes();
    if (!unreadable_.isEmpty())
        throw UnableToWrite(fileName_, unreadable_);
    changed_ = false;
    try {
        WriteFileAtomically(fileName_, bytes);
    } catch (const FileWriteError& error) {
        document_.reset();  // the file keeps its old text, and so do later reads
        throw UnableToWrite(fileName_, error.Reason());
    }
}
