#pragma once

#include "settings/ini_document.h"

#include <QString>
#include <functional>
#include <optional>

// INI file access with the rules of the Windows profile functions, used for
// the configuration file and for project files. An object serves one
// operation: it reads and parses the file once, at its first use, and each
// write replaces the file atomically (WriteAtOnce gathers several writes into
// one replace). Callers make a new object for each operation, so nothing is
// cached between operations.
//
// Reading: a line "[name]" opens a section; "key=value" in a section holds a
// value; section and key names match without regard to case; the first
// matching section and key win; the value is trimmed, one pair of enclosing
// quotes is dropped, and at most 2047 characters are returned. Lines outside
// a section, lines without "=", comments and odd spacing read as Windows
// reads them. A missing file, section or key gives the caller's default.
// A file larger than kMaxFileBytes, or one that is not a regular file (a
// pipe is never waited on), reads as empty and is never written.
//
// Writing: replaces the key's line (adding the section and the key when
// missing) and keeps every other line of the file byte for byte. A refused
// write raises AppError "Unable to write to <full file name>: <reason>" and
// leaves the file as it was.
class TIniFile {
public:
    // Far more than any configuration or project file holds.
    static constexpr qint64 kMaxFileBytes = 1 << 20;

    explicit TIniFile(const QString& fileName);

    QString FileName() const { return fileName_; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;

    // Decimal with an optional sign (32-bit range checked), or up to eight
    // hexadecimal digits behind "$", "x", "X", "0x", "0X". Anything else,
    // a missing key included, gives `defaultValue`.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);

    // The writes that `writes` makes reach the file as one replace when it
    // returns (none when it made none); if it raises, none of them do.
    void WriteAtOnce(const std::function<void()>& writes);

private:
    IniDocument& Document() const;
    void Save();

    QString fileName_;
    mutable std::optional<IniDocument> document_;
    mutable QString unreadable_;  // why an existing file could not be read
    bool deferWrites_ = false;
    bool changed_ = false;
};
