#include "settings/ini_file.h"

#include "platform/app_error.h"
#include "platform/number_text.h"
#include "platform/text_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace {
constexpr qsizetype kMaxValueLength = 2047;

// One line of the file with its own line end, so that a write can put every
// line it does not change back exactly as it was.
struct RawLine {
    QByteArray text;
    QByteArray ending;
};

// Empty when the file is missing or cannot be read.
std::optional<QList<RawLine>> ReadRawLines(const QString& fileName)
{
    QList<RawLine> lines;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < bytes.size() && bytes[next] == '\r')
            ++next;
        if (next < bytes.size() && bytes[next] == '\n')
            ++next;
        lines.append({bytes.mid(start, end - start), bytes.mid(end, next - end)});
        start = next;
    }
    return lines;
}

AppError UnableToWrite(const QString& fileName)
{
    return AppError(QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()));
}

QString Decode(const QByteArray& bytes)
{
    return QString::fromLocal8Bit(bytes);
}

// The section name when `line` opens a section.
std::optional<QString> SectionName(const QByteArray& line)
{
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(']');
    const QByteArray name = trimmed.mid(1, close < 0 ? -1 : close - 1);
    return Decode(name).trimmed();
}

// The key name when `line` holds a value.
std::optional<QString> KeyName(const QByteArray& line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    return Decode(line.left(equals)).trimmed();
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

struct KeyPlace {
    qsizetype sectionLine = -1;   // the "[section]" line, -1 when missing
    qsizetype keyLine = -1;       // the "key=" line, -1 when missing
    qsizetype lastFilledLine = -1; // last non-blank line of the section
};

KeyPlace FindKey(const QList<RawLine>& lines, const QString& section, const QString& key)
{
    KeyPlace place;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto name = SectionName(lines[i].text)) {
            if (inSection)
                break;
            if (SameName(*name, section)) {
                inSection = true;
                place.sectionLine = place.lastFilledLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!lines[i].text.trimmed().isEmpty())
            place.lastFilledLine = i;
        const auto name = KeyName(lines[i].text);
        if (name && SameName(*name, key)) {
            place.keyLine = i;
            break;
        }
    }
    return place;
}

QString ValueOf(const QByteArray& line)
{
    QString value = Decode(line.mid(line.indexOf('=') + 1)).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(kMaxValueLength);
}
}

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const QList<RawLine> lines = ReadRawLines(fileName_).value_or(QList<RawLine>());
    const KeyPlace place = FindKey(lines, section, key);
    if (place.keyLine < 0)
        return defaultValue;
    return ValueOf(lines[place.keyLine].text);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    return ParseWholeNumber(ReadString(section, key, QString())).value_or(defaultValue);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const auto read = ReadRawLines(fileName_);
    // A file that exists but cannot be read must not be replaced by one key.
    if (!read && QFileInfo::exists(fileName_))
        throw UnableToWrite(fileName_);
    QList<RawLine> lines = read.value_or(QList<RawLine>());
    const KeyPlace place = FindKey(lines, section, key);
    const QByteArray keyLine = (key.trimmed() + u'=' + value).toLocal8Bit();
    const QByteArray crlf("\r\n");

    if (place.keyLine >= 0) {
        lines[place.keyLine].text = keyLine;
    } else if (place.sectionLine >= 0) {
        RawLine& after = lines[place.lastFilledLine];
        if (after.ending.isEmpty())
            after.ending = crlf;
        lines.insert(place.lastFilledLine + 1, {keyLine, crlf});
    } else {
        if (!lines.isEmpty() && lines.back().ending.isEmpty())
            lines.back().ending = crlf;
        lines.append({(u'[' + section.trimmed() + u']').toLocal8Bit(), crlf});
        lines.append({keyLine, crlf});
    }

    QByteArray bytes;
    for (const RawLine& line : lines)
        bytes += line.text + line.ending;
    try {
        WriteFileAtomically(fileName_, bytes);
    } catch (const AppError&) {
        throw UnableToWrite(fileName_);
    }
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}
