#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// INI file access with the rules of the Windows profile functions, used for
// the configuration file and for project files. The file is read afresh for
// every call and each write replaces it atomically, so nothing is cached.
//
// Reading: a line "[name]" opens a section; "key=value" in a section holds a
// value; section and key names match without regard to case; the first
// matching section and key win; the value is trimmed, one pair of enclosing
// quotes is dropped, and at most 2047 characters are returned. Lines outside
// a section, lines without "=", comments and odd spacing read as Windows
// reads them. A missing file, section or key gives the caller's default.
//
// Writing: replaces the key's line (adding the section and the key when
// missing) and keeps every other line of the file byte for byte. A refused
// write raises AppError "Unable to write to <full file name>".
class TIniFile {
public:
    explicit TIniFile(const QString& fileName);

    QString FileName() const { return fileName_; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;

    // Decimal with an optional sign (32-bit range checked), or up to eight
    // hexadecimal digits behind "$", "x", "X", "0x", "0X". Anything else,
    // a missing key included, gives `defaultValue`.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);

private:
    QString fileName_;
};
