#include "support/loopback_http_server.h"

#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <stdexcept>

namespace {
int OpenLoopbackListener(int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return fd;
}

bool SendAll(int socket, const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

void ResetConnection(int socket)
{
    linger immediately{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &immediately, sizeof immediately);
}
}

ScriptedReply ScriptedReply::Status(const QByteArray& statusLine, const QByteArray& body)
{
    return Raw(statusLine + "\r\nContent-Type: image/png\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\n\r\n" + body,
        false);
}

ScriptedReply ScriptedReply::Http10(const QByteArray& body)
{
    return Raw("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body, true);
}

ScriptedReply ScriptedReply::ConnectionClose(const QByteArray& body)
{
    return Raw("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\n\r\n" + body,
        true);
}

ScriptedReply ScriptedReply::CloseMidBody(int announced, int sent)
{
    return Raw("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(announced) + "\r\n\r\n"
            + QByteArray(sent, 'b'),
        true);
}

ScriptedReply ScriptedReply::Trickle(int bytes, int intervalMs)
{
    return {Action::Trickle, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", true, bytes, intervalMs};
}

ScriptedReply ScriptedReply::Raw(const QByteArray& bytes, bool closeAfter)
{
    return {Action::Send, bytes, closeAfter};
}

LoopbackHttpServer::LoopbackHttpServer()
    : listenSocket_(OpenLoopbackListener(&port_)),
      responder_([](const QByteArray&) { return ScriptedReply::Ok("tile"); }),
      acceptThread_([this] { AcceptLoop(); })
{
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    stopping_ = true;
    ::shutdown(listenSocket_, SHUT_RDWR);
    acceptThread_.join();
    ::close(listenSocket_);
    {
        std::lock_guard lock(mutex_);
        for (const int socket : openSockets_)
            ::shutdown(socket, SHUT_RDWR);
    }
    for (std::thread& thread : connectionThreads_)
        thread.join();
}

QString LoopbackHttpServer::BaseUrl() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(port_);
}

void LoopbackHttpServer::Script(std::initializer_list<ScriptedReply> replies)
{
    for (const ScriptedReply& reply : replies)
        Enqueue(reply);
}

void LoopbackHttpServer::Enqueue(const ScriptedReply& reply)
{
    std::lock_guard lock(mutex_);
    script_.push_back(reply);
}

void LoopbackHttpServer::SetResponder(Responder responder)
{
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

QList<QByteArray> LoopbackHttpServer::RequestHeads() const
{
    std::lock_guard lock(mutex_);
    return heads_;
}

int LoopbackHttpServer::RequestCount() const
{
    std::lock_guard lock(mutex_);
    return int(heads_.size());
}

int LoopbackHttpServer::UnusedPort()
{
    int port = 0;
    ::close(OpenLoopbackListener(&port));
    return port;
}

void LoopbackHttpServer::AcceptLoop()
{
    while (!stopping_) {
        const int socket = ::accept4(listenSocket_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) {
            if (stopping_)
                return;
            // Out of descriptors or the like: do not spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        ++connectionsAccepted_;
        std::lock_guard lock(mutex_);
        openSockets_.push_back(socket);
        mostOpen_ = std::max(mostOpen_.load(), int(openSockets_.size()));
        connectionThreads_.emplace_back([this, socket] { Serve(socket); });
    }
}

ScriptedReply LoopbackHttpServer::NextReply(const QByteArray& head)
{
    Responder responder;
    {
        std::lock_guard lock(mutex_);
        heads_.append(head);
        if (!script_.empty()) {
            ScriptedReply reply = script_.front();
            script_.pop_front();
            return reply;
        }
        responder = responder_;
    }
    // Outside the lock: a responder may look at the server or the client.
    return responder(head);
}

void LoopbackHttpServer::Serve(int socket)
{
    QByteArray pending;
    bool open = true;
    while (open && !stopping_) {
        qsizetype end = pending.indexOf("\r\n\r\n");
        while (end < 0) {
            char chunk[4096];
            const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
            if (n <= 0) {
                open = false;
                break;
            }
            pending.append(chunk, n);
            end = pending.indexOf("\r\n\r\n");
        }
        if (!open)
            break;
        const QByteArray head = pending.left(end + 4);
        pending.remove(0, end + 4);

        const ScriptedReply reply = NextReply(head);
        switch (reply.What) {
        case ScriptedReply::Action::Send:
            open = SendAll(socket, reply.Bytes) && !reply.CloseAfter;
            break;
        case ScriptedReply::Action::Reset:
            ResetConnection(socket);
            open = false;
            break;
        case ScriptedReply::Action::CloseBeforeReply:
            open = false;
            break;
        case ScriptedReply::Action::Trickle:
            open = SendAll(socket, reply.Bytes);
            for (int i = 0; open && !stopping_ && i < reply.TrickleBytes; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.TrickleIntervalMs));
                open = SendAll(socket, "t");
            }
            open = false;
            break;
        case ScriptedReply::Action::Stall: {
            char byte;
            while (!stopping_ && ::recv(socket, &byte, 1, 0) > 0) {
            }
            open = false;
            break;
        }
        }
    }
    std::lock_guard lock(mutex_);
    openSockets_.erase(std::remove(openSockets_.begin(), openSockets_.end(), socket), openSockets_.end());
    ::close(socket);
}

std::vector<std::string> HeadLines(const QByteArray& head)
{
    std::vector<std::string> lines;
    for (QByteArray line : head.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.push_back(line.toStdString());
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}
