#include "settings/ini_document.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {
constexpr qsizetype kMaxValueLength = 2047;
const QByteArray kCrLf("\r\n");

QString Decode(QByteArrayView bytes)
{
    return QString::fromLocal8Bit(bytes);
}

// Names match without regard to case and surrounding blanks.
QString Folded(const QString& name)
{
    return name.trimmed().toCaseFolded();
}

// The section name when `line` opens a section.
std::optional<QString> SectionName(QByteArrayView line)
{
    const QByteArrayView trimmed = line.trimmed();
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(']');
    return Decode(trimmed.sliced(1, (close < 0 ? trimmed.size() : close) - 1)).trimmed();
}

// The key name when `line` holds a value.
std::optional<QString> KeyName(QByteArrayView line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    return Decode(line.first(equals)).trimmed();
}

QString ValueOf(QByteArrayView line)
{
    QString value = Decode(line.sliced(line.indexOf('=') + 1)).trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(kMaxValueLength);
}

bool OneLine(QByteArrayView text)
{
    return !text.contains('\r') && !text.contains('\n');
}

// Whether a fresh read would find `line` as the line of key `key`.
bool ReadsBackAsKey(QByteArrayView line, const QString& key)
{
    const auto name = KeyName(line);
    return OneLine(line) && !SectionName(line) && name && Folded(*name) == Folded(key);
}

bool ReadsBackAsSection(QByteArrayView header, const QString& section)
{
    const auto name = SectionName(header);
    return OneLine(header) && name && Folded(*name) == Folded(section);
}
}

IniDocument::IniDocument(QByteArray bytes) : bytes_(std::move(bytes))
{
    Index();
}

// Lines end in CR, LF or CR LF; a last line without a line end counts.
void IniDocument::Index()
{
    sections_.clear();
    sectionIndex_.clear();
    addedSections_.clear();
    replaced_.clear();
    terminateLastLine_ = false;

    const char* data = bytes_.constData();
    const qsizetype size = bytes_.size();
    qsizetype current = -1;  // the section the lines belong to, -1 outside a first section
    for (qsizetype start = 0; start < size;) {
        qsizetype end = start;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < size && data[next] == '\r')
            ++next;
        if (next < size && data[next] == '\n')
            ++next;
        const QByteArrayView line(data + start, end - start);

        if (const auto name = SectionName(line)) {
            const QString folded = Folded(*name);
            current = -1;
            if (!sectionIndex_.contains(folded)) {
                current = sections_.size();
                sectionIndex_.insert(folded, current);
                sections_.append(Section{{}, next, next == end, {}, {}});
            }
        } else if (current >= 0 && !line.trimmed().isEmpty()) {
            Section& section = sections_[current];
            section.insertAt = next;
            section.lastFilledUnterminated = next == end;
            if (const auto key = KeyName(line)) {
                const QString folded = Folded(*key);
                if (!section.keys.contains(folded))
                    section.keys.insert(folded, Key{start, end, -1});
            }
        }
        start = next;
    }
}

QByteArray IniDocument::LineText(const Section& section, const Key& key) const
{
    if (key.added >= 0)
        return section.addedLines[key.added];
    const auto replaced = replaced_.find(key.lineStart);
    if (replaced != replaced_.end())
        return replaced->second.text;
    return bytes_.mid(key.lineStart, key.textEnd - key.lineStart);
}

bool IniDocument::EndsUnterminated() const
{
    return !bytes_.isEmpty() && bytes_.back() != '\r' && bytes_.back() != '\n';
}

std::optional<QString> IniDocument::Value(const QString& section, const QString& key) const
{
    const auto place = sectionIndex_.constFind(Folded(section));
    if (place == sectionIndex_.cend())
        return std::nullopt;
    const Section& found = sections_[*place];
    const auto line = found.keys.constFind(Folded(key));
    if (line == found.keys.cend())
        return std::nullopt;
    return ValueOf(LineText(found, *line));
}

void IniDocument::Set(const QString& section, const QString& key, const QString& value)
{
    const QByteArray line = (key.trimmed() + u'=' + value).toLocal8Bit();
    bool readsBack = ReadsBackAsKey(line, key);

    const QString sectionName = Folded(section);
    auto place = sectionIndex_.constFind(sectionName);
    if (place == sectionIndex_.cend()) {
        if (EndsUnterminated())
            terminateLastLine_ = true;
        Section added;
        added.addedHeader = (u'[' + section.trimmed() + u']').toLocal8Bit();
        readsBack = readsBack && ReadsBackAsSection(added.addedHeader, section);
        place = sectionIndex_.insert(sectionName, sections_.size());
        addedSections_.append(sections_.size());
        sections_.append(added);
    }

    Section& target = sections_[*place];
    const QString keyName = Folded(key);
    const auto existing = target.keys.constFind(keyName);
    if (existing == target.keys.cend()) {
        if (target.lastFilledUnterminated)
            terminateLastLine_ = true;
        target.keys.insert(keyName, Key{-1, -1, target.addedLines.size()});
        target.addedLines.append(line);
    } else if (existing->added >= 0) {
        target.addedLines[existing->added] = line;
    } else {
        replaced_[existing->lineStart] = Replacement{existing->textEnd, line};
    }

    // A name or value that a read would take apart differently (a line
    // break, a "=" in a key, a "]" in a section name) changes where later
    // writes go: the index is then built afresh from the changed text.
    if (!readsBack) {
        bytes_ = Bytes();
        Index();
    }
}

QByteArray IniDocument::Bytes() const
{
    // What replaces bytes_[at, resume); at one place the line end that
    // completes the last line comes before the lines added after it.
    struct Piece {
        qsizetype at;
        qsizetype resume;
        int order;
        QByteArray text;
    };
    std::vector<Piece> pieces;
    for (const auto& [lineStart, replacement] : replaced_)
        pieces.push_back({lineStart, replacement.textEnd, 0, replacement.text});
    if (terminateLastLine_)
        pieces.push_back({bytes_.size(), bytes_.size(), 1, kCrLf});
    for (const Section& section : sections_) {
        if (section.addedHeader.isEmpty() && !section.addedLines.isEmpty())
            pieces.push_back({section.insertAt, section.insertAt, 2, section.addedLines.join(kCrLf) + kCrLf});
    }
    std::sort(pieces.begin(), pieces.end(),
        [](const Piece& a, const Piece& b) { return a.at != b.at ? a.at < b.at : a.order < b.order; });

    QByteArray bytes;
    bytes.reserve(bytes_.size() + 64 * qsizetype(pieces.size()));
    qsizetype copied = 0;
    for (const Piece& piece : pieces) {
        bytes.append(QByteArrayView(bytes_).sliced(copied, piece.at - copied));
        bytes.append(piece.text);
        copied = piece.resume;
    }
    bytes.append(QByteArrayView(bytes_).sliced(copied));
    for (qsizetype index : addedSections_) {
        const Section& section = sections_[index];
        bytes.append(section.addedHeader + kCrLf);
        for (const QByteArray& line : section.addedLines)
            bytes.append(line + kCrLf);
    }
    return bytes;
}
