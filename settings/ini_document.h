#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <map>
#include <optional>

// The text of an INI file, indexed in one pass with the reading rules of
// TIniFile (ini_file.h). Set() keeps its changes beside the original bytes,
// and Bytes() gives the file as the same changes made one by one, each after
// a fresh read, would have left it; so a file of any size is parsed once and
// written in one piece however many keys change.
class IniDocument {
public:
    explicit IniDocument(QByteArray bytes = {});

    // The trimmed value without one pair of enclosing quotes, at most 2047
    // characters; nullopt when the section or the key is missing.
    std::optional<QString> Value(const QString& section, const QString& key) const;

    // Replaces the key's line, or adds the key after the last non-blank line
    // of its section, or adds the section and the key at the end.
    void Set(const QString& section, const QString& key, const QString& value);

    QByteArray Bytes() const;

private:
    struct Key {
        qsizetype lineStart = -1;  // in the original bytes
        qsizetype textEnd = -1;    // where its line end starts
        qsizetype added = -1;      // index in the section's added lines
    };
    // Only the first section of each name: later ones are never read or changed.
    struct Section {
        QByteArray addedHeader;          // set when Set() added the section
        qsizetype insertAt = -1;         // after the last non-blank line and its line end
        bool lastFilledUnterminated = false;  // that line ends the file without a line end
        QHash<QString, Key> keys;        // the first key of each name
        QList<QByteArray> addedLines;
    };
    struct Replacement {
        qsizetype textEnd;
        QByteArray text;
    };

    void Index();
    QByteArray LineText(const Section& section, const Key& key) const;
    bool EndsUnterminated() const;

    QByteArray bytes_;
    QList<Section> sections_;
    QHash<QString, qsizetype> sectionIndex_;  // folded name -> sections_ index
    QList<qsizetype> addedSections_;
    std::map<qsizetype, Replacement> replaced_;  // by line start
    bool terminateLastLine_ = false;
};
