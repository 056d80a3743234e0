#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>

// What a tile server's reply allows a private cache to do with its copy of
// a tile: how long it may be used without asking, and how to ask cheaply.
struct CacheValidity {
    QDateTime FreshUntil;      // UTC; invalid means "ask before every use"
    QByteArray ETag;           // sent back as If-None-Match
    QByteArray LastModified;   // sent back as If-Modified-Since
    bool NoStore = false;      // never write the reply to disk
    bool MustRevalidate = false;  // a stale copy must not stand in when the server cannot be reached
};

// Reads Cache-Control (max-age, no-cache, no-store, must-revalidate), Age,
// Expires, Date, ETag and Last-Modified from a reply head received at
// `receivedAt`. max-age wins over Expires; an Expires that is not a date
// means "already stale". Without either, a reply with Last-Modified stays
// fresh for a tenth of its age, at most a day; any other reply is stale at once.
CacheValidity ValidityFromReply(const QList<QByteArray>& headerLines, const QDateTime& receivedAt);

// The lines of a reply head that decide reuse (Cache-Control, Age, Date,
// Expires, ETag, Last-Modified): what a cache keeps beside the tile.
QList<QByteArray> CacheHeaderLines(const QList<QByteArray>& headerLines);

// After a 304: the stored lines updated by the 304's own. Age and Date
// describe the old reply and go; any line the 304 repeats replaces the
// stored one.
QList<QByteArray> NotModifiedUpdate(const QList<QByteArray>& stored, const QList<QByteArray>& notModifiedLines);

bool IsFresh(const CacheValidity& validity, const QDateTime& now);

// The conditional request lines for revalidating a stored copy (none when
// it has no validators).
QStringList RevalidationLines(const CacheValidity& validity);

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT", also the RFC 850 and
// asctime forms) in UTC; invalid when the text is none of them. The day of
// the week is not checked.
QDateTime ParseHttpDate(const QByteArray& text);

// The preferred form of an HTTP date for `time`: "Sun, 06 Nov 1994 08:49:37 GMT".
QByteArray HttpDateText(const QDateTime& time);
