#include "download/http_cache_policy.h"

#include <QLocale>
#include <algorithm>
#include <iterator>
#include <optional>

namespace {
constexpr qint64 kHeuristicLimitSeconds = 24 * 60 * 60;

const char* const kCacheHeaders[] = {"cache-control", "age", "date", "expires", "etag", "last-modified"};

// A header line's name in lower case; empty for a line without one.
QByteArray HeaderName(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    return colon > 0 ? line.left(colon).trimmed().toLower() : QByteArray();
}

// Whether the line's header is `lowerName`, without copying: every tile's
// reply is read this way.
bool NameIs(const QByteArray& line, QByteArrayView lowerName)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return false;
    QByteArrayView name(line.constData(), colon);
    name = name.trimmed();
    return name.size() == lowerName.size() && qstrnicmp(name.data(), lowerName.data(), name.size()) == 0;
}

// The value of the first header named `name` (case-insensitive), trimmed.
std::optional<QByteArray> HeaderValue(const QList<QByteArray>& headerLines, QByteArrayView name)
{
    for (const QByteArray& line : headerLines) {
        if (NameIs(line, name))
            return line.mid(line.indexOf(':') + 1).trimmed();
    }
    return std::nullopt;
}

// The preferred form, "Sun, 06 Nov 1994 08:49:37 GMT", read by position:
// the one servers send, read for every tile of a download.
std::optional<QDateTime> ParseFixedHttpDate(const QByteArray& text)
{
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    if (text.size() != 29 || text[3] != ',' || text[4] != ' ' || text[7] != ' ' || text[11] != ' ' || text[16] != ' '
        || text[19] != ':' || text[22] != ':' || !text.endsWith(" GMT"))
        return std::nullopt;
    const auto number = [&text](int from, int digits) {
        int value = 0;
        for (int i = from; i < from + digits; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    int month = 0;
    while (month < 12 && qstrncmp(kMonths + 3 * month, text.constData() + 8, 3) != 0)
        ++month;
    const QDate date(number(12, 4), month + 1, number(5, 2));
    const QTime time(number(17, 2), number(20, 2), number(23, 2));
    if (month == 12 || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

std::optional<qint64> DeltaSeconds(const QByteArray& text)
{
    bool ok = false;
    const qint64 seconds = text.trimmed().toLongLong(&ok);
    if (!ok || seconds < 0)
        return std::nullopt;
    return seconds;
}

struct CacheControl {
    std::optional<qint64> MaxAge;
    bool NoCache = false;
    bool NoStore = false;
    bool MustRevalidate = false;
};

CacheControl ParseCacheControl(const QList<QByteArray>& headerLines)
{
    CacheControl control;
    // Several Cache-Control lines add up, as one comma-separated list would.
    for (const QByteArray& line : headerLines) {
        if (!NameIs(line, "cache-control"))
            continue;
        for (const QByteArray& item : line.mid(line.indexOf(':') + 1).split(',')) {
            const qsizetype equals = item.indexOf('=');
            const QByteArray name = (equals < 0 ? item : item.left(equals)).trimmed().toLower();
            QByteArray value = equals < 0 ? QByteArray() : item.mid(equals + 1).trimmed();
            if (value.startsWith('"') && value.endsWith('"') && value.size() >= 2)
                value = value.mid(1, value.size() - 2);
            if (name == "max-age")
                control.MaxAge = DeltaSeconds(value).value_or(0);
            else if (name == "no-cache")
                control.NoCache = true;
            else if (name == "no-store")
                control.NoStore = true;
            else if (name == "must-revalidate")
                control.MustRevalidate = true;
        }
    }
    return control;
}

// The time this reply may be used for, counted from its arrival; nullopt: stale at once.
std::optional<qint64> FreshSeconds(const QList<QByteArray>& headerLines, const CacheControl& control,
    const QDateTime& receivedAt)
{
    if (control.NoCache)
        return std::nullopt;
    const qint64 age = DeltaSeconds(HeaderValue(headerLines, "age").value_or("0")).value_or(0);
    if (control.MaxAge)
        return *control.MaxAge - age;
    const QDateTime date = ParseHttpDate(HeaderValue(headerLines, "date").value_or(QByteArray()));
    const QDateTime origin = date.isValid() ? date : receivedAt;
    if (const std::optional<QByteArray> expires = HeaderValue(headerLines, "expires")) {
        const QDateTime until = ParseHttpDate(*expires);
        if (!until.isValid())
            return std::nullopt;
        return origin.secsTo(until) - age;
    }
    const QDateTime lastModified = ParseHttpDate(HeaderValue(headerLines, "last-modified").value_or(QByteArray()));
    if (lastModified.isValid() && lastModified < origin)
        return qMin(lastModified.secsTo(origin) / 10, kHeuristicLimitSeconds) - age;
    return std::nullopt;
}

QDateTime FreshUntil(const std::optional<qint64>& freshSeconds, const QDateTime& receivedAt)
{
    if (!freshSeconds || *freshSeconds <= 0)
        return {};
    return receivedAt.toUTC().addSecs(*freshSeconds);
}
}

QDateTime ParseHttpDate(const QByteArray& text)
{
    if (const std::optional<QDateTime> fixed = ParseFixedHttpDate(text))
        return *fixed;
    // The day of the week goes first: a two-digit year read as 19xx would
    // never match it. Date and time are read apart, so no local time zone
    // is consulted on the way.
    const QStringList parts = QString::fromLatin1(text).simplified().split(u' ').mid(1);
    const QLocale c = QLocale::c();
    QDate date;
    QString time;
    if (parts.size() == 5 && parts[4] == u"GMT") {  // the preferred form: 06 Nov 1994 08:49:37 GMT
        date = c.toDate(parts.mid(0, 3).join(u' '), QStringLiteral("dd MMM yyyy"));
        time = parts[3];
    } else if (parts.size() == 3 && parts[2] == u"GMT") {  // RFC 850: 06-Nov-94 08:49:37 GMT
        date = c.toDate(parts[0], QStringLiteral("dd-MMM-yy"));
        if (date.isValid() && date.year() < 1970)
            date = date.addYears(100);
        time = parts[1];
    } else if (parts.size() == 4) {  // asctime: Nov 6 08:49:37 1994
        date = c.toDate(parts[0] + u' ' + parts[1] + u' ' + parts[3], QStringLiteral("MMM d yyyy"));
        time = parts[2];
    }
    const QTime timeOfDay = c.toTime(time, QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !timeOfDay.isValid())
        return {};
    return QDateTime(date, timeOfDay, Qt::UTC);
}

CacheValidity ValidityFromReply(const QList<QByteArray>& headerLines, const QDateTime& receivedAt)
{
    const CacheControl control = ParseCacheControl(headerLines);
    CacheValidity validity;
    validity.FreshUntil = FreshUntil(FreshSeconds(headerLines, control, receivedAt), receivedAt);
    validity.ETag = HeaderValue(headerLines, "etag").value_or(QByteArray());
    validity.LastModified = HeaderValue(headerLines, "last-modified").value_or(QByteArray());
    validity.NoStore = control.NoStore;
    validity.MustRevalidate = control.MustRevalidate;
    return validity;
}

QList<QByteArray> CacheHeaderLines(const QList<QByteArray>& headerLines)
{
    QList<QByteArray> kept;
    for (const QByteArray& line : headerLines) {
        const QByteArray name = HeaderName(line);
        if (std::find(std::begin(kCacheHeaders), std::end(kCacheHeaders), name) != std::end(kCacheHeaders))
            kept << line;
    }
    return kept;
}

QList<QByteArray> NotModifiedUpdate(const QList<QByteArray>& stored, const QList<QByteArray>& notModifiedLines)
{
    const QList<QByteArray> update = CacheHeaderLines(notModifiedLines);
    QList<QByteArray> names{"age", "date"};
    for (const QByteArray& line : update)
        names << HeaderName(line);
    QList<QByteArray> merged;
    for (const QByteArray& line : stored) {
        if (!names.contains(HeaderName(line)))
            merged << line;
    }
    return merged + update;
}

bool IsFresh(const CacheValidity& validity, const QDateTime& now)
{
    return validity.FreshUntil.isValid() && now < validity.FreshUntil;
}

QStringList RevalidationLines(const CacheValidity& validity)
{
    QStringList lines;
    if (!validity.ETag.isEmpty())
        lines << QStringLiteral("If-None-Match: ") + QString::fromLatin1(validity.ETag);
    if (!validity.LastModified.isEmpty())
        lines << QStringLiteral("If-Modified-Since: ") + QString::fromLatin1(validity.LastModified);
    return lines;
}

QByteArray HttpDateText(const QDateTime& time)
{
    return QLocale::c().toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss")).toLatin1() + " GMT";
}
