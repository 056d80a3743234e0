#include "nginx_tile_server.h"

#include "support/loopback_http_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const char* const kConfig = R"(daemon off;
worker_processes 2;
pid %1/nginx.pid;
error_log %1/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  tcp_nodelay on;
  keepalive_requests 1000000;
  keepalive_timeout 60s;
  client_body_temp_path %1/client_body;
  proxy_temp_path %1/proxy;
  fastcgi_temp_path %1/fastcgi;
  uwsgi_temp_path %1/uwsgi;
  scgi_temp_path %1/scgi;
  default_type image/png;
  server { listen 127.0.0.1:%2; root %1/tiles; }
}
)";
}

NginxTileServer::NginxTileServer(const QString& parentFolder, const TileBlock& block, const QByteArray& tileBody)
    : folder_(parentFolder + QStringLiteral("/tessaly-nginx-XXXXXX"))
{
    // nginx's workers may run as another user when started by root.
    QFile::setPermissions(folder_.path(), QFile::permissions(folder_.path()) | QFile::ReadOther | QFile::ExeOther);
    WriteTiles(block, tileBody);
    const int port = LoopbackHttpServer::UnusedPort();
    if (Start(port))
        baseUrl_ = QStringLiteral("http://127.0.0.1:%1").arg(port);
}

NginxTileServer::~NginxTileServer()
{
    if (nginx_.state() == QProcess::NotRunning)
        return;
    nginx_.terminate();
    if (!nginx_.waitForFinished(5000)) {
        nginx_.kill();
        nginx_.waitForFinished(5000);
    }
}

void NginxTileServer::WriteTiles(const TileBlock& block, const QByteArray& tileBody)
{
    for (int x = block.MinX; x <= block.MaxX; ++x) {
        const QString column = folder_.filePath(QStringLiteral("tiles/%1/%2").arg(block.Zoom).arg(x));
        QDir().mkpath(column);
        for (int y = block.MinY; y <= block.MaxY; ++y) {
            QFile tile(column + QStringLiteral("/%1.png").arg(y));
            if (tile.open(QIODevice::WriteOnly))
                tile.write(tileBody);
        }
    }
}

bool NginxTileServer::Start(int port)
{
    const QString configFile = folder_.filePath(QStringLiteral("nginx.conf"));
    QFile config(configFile);
    if (!config.open(QIODevice::WriteOnly)) {
        failure_ = QStringLiteral("cannot write ") + configFile;
        return false;
    }
    config.write(QString::fromLatin1(kConfig).arg(folder_.path()).arg(port).toUtf8());
    config.close();

    nginx_.setProcessChannelMode(QProcess::ForwardedChannels);
    // Should this process die first, nginx goes with it.
    nginx_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    nginx_.start(QStringLiteral("nginx"),
        {QStringLiteral("-p"), folder_.path(), QStringLiteral("-c"), configFile, QStringLiteral("-e"),
            folder_.filePath(QStringLiteral("error.log"))});
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (nginx_.state() == QProcess::NotRunning)
            break;
        if (AcceptsConnections(port))
            return true;
        QThread::msleep(20);
    }
    failure_ = QStringLiteral("nginx did not start: ") + nginx_.errorString();
    return false;
}

bool NginxTileServer::AcceptsConnections(int port)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(socket);
    return connected;
}
