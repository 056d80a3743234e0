#include "download/tile_reply_check.h"

namespace {
// Checked for every tile: no copies but the value's.
std::optional<QByteArray> ContentType(const HttpResult& reply)
{
    constexpr QByteArrayView kName("content-type:");
    for (const QByteArray& line : reply.HeaderLines)
        if (QByteArrayView(line).first(std::min(line.size(), kName.size())).compare(kName, Qt::CaseInsensitive) == 0)
            return line.mid(kName.size()).trimmed();
    return std::nullopt;
}

bool NamesFormat(const QByteArray& contentType, TileFormat format)
{
    const qsizetype semicolon = contentType.indexOf(';');
    const QByteArray mediaType = (semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
    if (format == TileFormat::Jpeg && (mediaType == "image/jpg" || mediaType == "image/pjpeg"))
        return true;
    return mediaType == TileFormatMediaType(format).toLatin1();
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
    const std::optional<QByteArray> contentType = ContentType(reply);
    if (contentType ? NamesFormat(*contentType, format) : BeginsAsFormat(reply.Body, format))
        return std::nullopt;
    const QString reason = QStringLiteral("not a %1 tile").arg(TileFormatTitle(format));
    return WrongTileReply{reason, reason
            + (contentType ? QStringLiteral(" (Content-Type: %1)").arg(QString::fromLatin1(*contentType))
                           : QStringLiteral(" (no Content-Type, and the bytes are not one)"))};
}
