#pragma once

#include "support/loopback_http_server.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

// Tiles as a server with validators serves them: each path has a body, an
// ETag and a Last-Modified date; a request whose If-None-Match names the
// ETag, or (without one) whose If-Modified-Since is not before the date, is
// answered 304. Paths may be set to answer with a status of their own.
class ValidatingTiles {
public:
    static constexpr const char* kOldDate = "Mon, 01 Jan 2024 00:00:00 GMT";
    static constexpr const char* kNewDate = "Fri, 01 Jan 2100 00:00:00 GMT";

    explicit ValidatingTiles(LoopbackHttpServer& server)
    {
        server.SetResponder([state = state_](const QByteArray& head) { return state->Answer(head); });
    }

    // A new body, ETag and (later) date for the tile at `path`.
    void Change(const QString& path) { state_->Set(path, {"new " + path.toLatin1(), "\"v2\"", kNewDate}); }
    void AnswerWith(const QString& path, const QByteArray& statusLine) { state_->Set(path, {{}, {}, {}, statusLine}); }
    // The request for `path` is never answered (until the server stops).
    void Stall(const QString& path) { state_->Set(path, {{}, {}, {}, "stall"}); }
    // The connection is reset at each request for `path`.
    void Reset(const QString& path) { state_->Set(path, {{}, {}, {}, "reset"}); }
    // "Cache-Control: max-age=<seconds>" in every reply; below 0: none.
    void SetMaxAge(int seconds) { state_->maxAge = seconds; }

    QByteArray BodyOf(const QString& path) const { return state_->Get(path).Body; }
    int NotModifiedReplies() const { return state_->notModified; }

private:
    struct Tile {
        QByteArray Body;
        QByteArray ETag;
        QByteArray LastModified;
        QByteArray StatusLine;  // empty: the tile
    };

    struct State {
        std::mutex mutex;
        QHash<QString, Tile> changed;
        std::atomic<int> maxAge{-1};
        std::atomic<int> notModified{0};

        void Set(const QString& path, const Tile& tile)
        {
            const std::lock_guard lock(mutex);
            changed.insert(path, tile);
        }

        Tile Get(const QString& path)
        {
            const std::lock_guard lock(mutex);
            return changed.value(path, Tile{"tile " + path.toLatin1(), "\"v1\"", kOldDate, {}});
        }

        static QByteArray HeaderValue(const QByteArray& head, const QByteArray& name)
        {
            for (const QByteArray& line : head.split('\n'))
                if (line.toLower().startsWith(name.toLower() + ':'))
                    return line.mid(name.size() + 1).trimmed();
            return {};
        }

        ScriptedReply Answer(const QByteArray& head)
        {
            const Tile tile = Get(QString::fromLatin1(head.split(' ').value(1)));
            if (tile.StatusLine == "stall")
                return ScriptedReply::Stall();
            if (tile.StatusLine == "reset")
                return ScriptedReply::Reset();
            if (!tile.StatusLine.isEmpty())
                return ScriptedReply::Status(tile.StatusLine);
            QByteArray lines = "ETag: " + tile.ETag + "\r\nLast-Modified: " + tile.LastModified + "\r\n";
            if (maxAge >= 0)
                lines += "Cache-Control: max-age=" + QByteArray::number(maxAge.load()) + "\r\n";
            const QByteArray ifNoneMatch = HeaderValue(head, "If-None-Match");
            const QByteArray ifModifiedSince = HeaderValue(head, "If-Modified-Since");
            const bool unchanged = !ifNoneMatch.isEmpty()
                ? ifNoneMatch == tile.ETag
                : !ifModifiedSince.isEmpty() && (tile.LastModified == kOldDate || ifModifiedSince == tile.LastModified);
            if (unchanged) {
                ++notModified;
                return ScriptedReply::Raw("HTTP/1.1 304 Not Modified\r\n" + lines + "\r\n", false);
            }
            return ScriptedReply::Raw("HTTP/1.1 200 OK\r\n" + lines + "Content-Length: "
                    + QByteArray::number(tile.Body.size()) + "\r\n\r\n" + tile.Body,
                false);
        }
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};
