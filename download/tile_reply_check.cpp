#include "download/tile_reply_check.h"

namespace {
std::optional<QString> ContentType(const HttpResult& reply)
{
    for (const QByteArray& line : reply.HeaderLines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("content-type", Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(line.mid(colon + 1).trimmed());
    }
    return std::nullopt;
}

bool NamesFormat(const QString& contentType, TileFormat format)
{
    const QString mediaType = contentType.section(u';', 0, 0).trimmed().toLower();
    if (format == TileFormat::Jpeg && (mediaType == u"image/jpg" || mediaType == u"image/pjpeg"))
        return true;
    return mediaType == TileFormatMediaType(format);
}

bool BeginsAsFormat(const QByteArray& bytes, TileFormat format)
{
    switch (format) {
    case TileFormat::Png: return bytes.startsWith("\x89PNG\r\n\x1a\n");
    case TileFormat::Jpeg: return bytes.startsWith("\xff\xd8\xff");
    case TileFormat::Webp: return bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP";
    }
    return false;
}
}

std::optional<WrongTileReply> CheckTileReply(TileFormat format, const HttpResult& reply)
{
    const QString reason = QStringLiteral("not a %1 tile").arg(TileFormatTitle(format));
    const std::optional<QString> contentType = ContentType(reply);
    if (contentType && !NamesFormat(*contentType, format))
        return WrongTileReply{reason, reason + QStringLiteral(" (Content-Type: %1)").arg(*contentType)};
    if (!contentType && !BeginsAsFormat(reply.Body, format))
        return WrongTileReply{reason, reason + QStringLiteral(" (no Content-Type, and the bytes are not one)")};
    return std::nullopt;
}
