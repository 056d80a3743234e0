#include "task/source_file.h"

#include "platform/regular_file_read.h"
#include "task/tile_pause.h"
#include "task/tiles_in_flight.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace {
// Far more than a source file holds.
constexpr qint64 kMaxSourceFileBytes = 64 * 1024;
const QString kSource = QStringLiteral("source");
const QString kHeaders = QStringLiteral("headers");

// A problem with one key: the reading stops at the first.
struct KeyProblem {
    QString Key;
    QString What;
};

// The sections of the file, each a list of keys in the file's order.
using Section = QList<QPair<QString, QString>>;

QString Unquoted(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        value = value.mid(1, value.size() - 2);
    return value;
}

QHash<QString, Section> ReadSections(const QByteArray& bytes)
{
    QHash<QString, Section> sections;
    QString current;
    for (const QString& rawLine : QString::fromUtf8(bytes).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            current = line.mid(1, line.size() - 2).trimmed().toLower();
            sections[current];
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && !current.isEmpty())
            sections[current].append({line.left(equals).trimmed(), Unquoted(line.mid(equals + 1))});
    }
    return sections;
}

std::optional<QString> ValueOf(const Section& section, const QString& key)
{
    for (const auto& [name, value] : section)
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    return std::nullopt;
}

// A whole number from `low` to `high`, when the key is there.
std::optional<int> ReadNumber(const Section& section, const QString& key, int low, int high)
{
    const auto text = ValueOf(section, key);
    if (!text)
        return std::nullopt;
    bool whole = false;
    const int value = text->toInt(&whole, 10);
    if (!whole || value < low || value > high)
        throw KeyProblem{key, QStringLiteral("is %1, not a whole number from %2 to %3").arg(*text).arg(low).arg(high)};
    return value;
}

void CheckKeysKnown(const Section& section)
{
    static const QStringList known{QStringLiteral("Name"), QStringLiteral("Prefix"), QStringLiteral("Url"),
        QStringLiteral("Subdomains"), QStringLiteral("MinZoom"), QStringLiteral("MaxZoom"), QStringLiteral("TileSize"),
        QStringLiteral("Format"), QStringLiteral("Attribution"), QStringLiteral("Referer"), QStringLiteral("UserAgent"),
        QStringLiteral("Pause"), QStringLiteral("MaxConnections"), QStringLiteral("InFlight")};
    for (const auto& entry : section)
        if (!known.contains(entry.first, Qt::CaseInsensitive))
            throw KeyProblem{entry.first, QStringLiteral("is not a key of a source (the keys are %1)").arg(known.join(u' '))};
}

void CheckPrefix(const QString& prefix)
{
    if (prefix.contains(u'/') || prefix.contains(u'\\'))
        throw KeyProblem{QStringLiteral("Prefix"), QStringLiteral("%1 holds a path separator").arg(prefix)};
    static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9-]{1,32}$"));
    if (!safe.match(prefix).hasMatch())
        throw KeyProblem{QStringLiteral("Prefix"),
            QStringLiteral("\"%1\" is not 1 to 32 letters, digits and \"-\"").arg(prefix)};
}

void CheckUrl(const MapSource& source)
{
    const QString key = QStringLiteral("Url");
    if (source.Url.isEmpty())
        throw KeyProblem{key, QStringLiteral("is missing")};
    static const QRegularExpression placeholder(QStringLiteral("\\{[^}]*\\}"));
    for (const auto& match : placeholder.globalMatch(source.Url))
        if (!TileAddressPlaceholders().contains(match.captured()))
            throw KeyProblem{key, QStringLiteral("holds the unknown placeholder %1 (known: %2)")
                                      .arg(match.captured(), TileAddressPlaceholders().join(u' '))};
    const auto has = [&](const char* text) { return source.Url.contains(QLatin1String(text)); };
    if (!has("{z}") && !has("{q}"))
        throw KeyProblem{key, QStringLiteral("has no {z} (nor {q})")};
    if (!has("{q}") && (!has("{x}") || (!has("{y}") && !has("{-y}"))))
        throw KeyProblem{key, QStringLiteral("has no {x} and {y} (or {-y}, or {q})")};
    if (has("{s}") && source.Subdomains.isEmpty())
        throw KeyProblem{key, QStringLiteral("holds {s} but the key Subdomains names none")};
    const QUrl url(QString(source.Url).replace(QStringLiteral("{s}"), source.Subdomains.value(0)));
    if ((url.scheme() != u"http" && url.scheme() != u"https") || url.host().isEmpty())
        throw KeyProblem{key, QStringLiteral("is not an http:// or https:// address")};
}

MapSource ReadSource(const QString& stem, const Section& section)
{
    CheckKeysKnown(section);
    MapSource source;
    source.Name = ValueOf(section, QStringLiteral("Name")).value_or(stem);
    if (source.Name.isEmpty())
        throw KeyProblem{QStringLiteral("Name"), QStringLiteral("is empty")};
    source.Prefix = ValueOf(section, QStringLiteral("Prefix")).value_or(stem);
    CheckPrefix(source.Prefix);
    for (const QString& subdomain : ValueOf(section, QStringLiteral("Subdomains")).value_or(QString()).split(u','))
        if (!subdomain.trimmed().isEmpty())
            source.Subdomains << subdomain.trimmed();
    source.Url = ValueOf(section, QStringLiteral("Url")).value_or(QString());
    CheckUrl(source);
    source.MinZoom = ReadNumber(section, QStringLiteral("MinZoom"), 0, 30).value_or(source.MinZoom);
    source.MaxZoom = ReadNumber(section, QStringLiteral("MaxZoom"), 0, 30).value_or(source.MaxZoom);
    if (source.MinZoom > source.MaxZoom)
        throw KeyProblem{QStringLiteral("MaxZoom"),
            QStringLiteral("is %1, below MinZoom %2: the zoom limits are upside down").arg(source.MaxZoom).arg(source.MinZoom)};
    source.TileSize = ReadNumber(section, QStringLiteral("TileSize"), 1, 4096).value_or(256);
    if (source.TileSize != 256 && source.TileSize != 512)
        throw KeyProblem{QStringLiteral("TileSize"), QStringLiteral("is %1, not 256 or 512").arg(source.TileSize)};
    if (const auto format = ValueOf(section, QStringLiteral("Format"))) {
        const auto named = TileFormatNamed(format->compare(u"jpeg", Qt::CaseInsensitive) == 0 ? QStringLiteral("jpg") : *format);
        if (!named)
            throw KeyProblem{QStringLiteral("Format"), QStringLiteral("is %1, not png, jpg or webp").arg(*format)};
        source.Format = *named;
    }
    source.Attribution = ValueOf(section, QStringLiteral("Attribution")).value_or(QString());
    source.Referer = ValueOf(section, QStringLiteral("Referer")).value_or(QString());
    source.UserAgent = ValueOf(section, QStringLiteral("UserAgent")).value_or(QString());
    source.PauseMs = ReadNumber(section, QStringLiteral("Pause"), 0, kMaxTilePauseMs);
    source.MaxConnections = ReadNumber(section, QStringLiteral("MaxConnections"), 1, 8).value_or(8);
    source.InFlight = ReadNumber(section, QStringLiteral("InFlight"), 1, kMaxTilesInFlight);
    return source;
}

void CheckHeaders(const Section& headers)
{
    static const QRegularExpression token(QStringLiteral("^[!#$%&'*+.^_`|~0-9A-Za-z-]+$"));
    for (const auto& [name, value] : headers) {
        if (!token.match(name).hasMatch())
            throw KeyProblem{name, QStringLiteral("of [Headers] is not a header field name")};
        if (value.contains(u'\r') || value.contains(u'\n'))
            throw KeyProblem{name, QStringLiteral("of [Headers] holds a line break")};
    }
}
}

QString SourceProblemText(const QString& fileName, const QString& key, const QString& what)
{
    return QStringLiteral("%1: the key %2 %3; the source is left out.").arg(QDir::toNativeSeparators(fileName), key, what);
}

SourceFileRead ReadSourceFile(const QString& fileName)
{
    const RegularFileBytes read = ReadRegularFile(fileName, kMaxSourceFileBytes, LinkRule::Follow);
    if (read.Result != RegularFileBytes::Outcome::Read)
        return {std::nullopt, QStringLiteral("%1: the file cannot be read%2; the source is left out.")
                                  .arg(QDir::toNativeSeparators(fileName),
                                      read.Problem.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(read.Problem))};
    const QHash<QString, Section> sections = ReadSections(read.Bytes);
    if (!sections.contains(kSource))
        return {std::nullopt, QStringLiteral("%1: the file has no section [Source]; the source is left out.")
                                  .arg(QDir::toNativeSeparators(fileName))};
    try {
        MapSource source = ReadSource(QFileInfo(fileName).completeBaseName(), sections.value(kSource));
        CheckHeaders(sections.value(kHeaders));
        source.Headers = sections.value(kHeaders);
        source.FileName = fileName;
        return {std::move(source), QString()};
    } catch (const KeyProblem& problem) {
        return {std::nullopt, SourceProblemText(fileName, problem.Key, problem.What)};
    }
}
