#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the server does with one request.
struct ScriptedReply {
    enum class Action {
        Send,              // send Bytes; then close when CloseAfter is set
        Reset,             // read the request, then reset the connection (RST)
        CloseBeforeReply,  // read the request, then close without a byte
        Stall,             // read the request and send nothing until the server stops
        Trickle,           // send Bytes, then TrickleBytes body bytes one at a time; then close
    };
    Action What = Action::Send;
    QByteArray Bytes;
    bool CloseAfter = false;
    int TrickleBytes = 0;
    int TrickleIntervalMs = 0;

    // `statusLine` as given (e.g. "HTTP/1.1 404 Not Found") with Content-Length
    // and `body`, kept alive.
    static ScriptedReply Status(const QByteArray& statusLine, const QByteArray& body = {});
    static ScriptedReply Ok(const QByteArray& body) { return Status("HTTP/1.1 200 OK", body); }
    // An HTTP/1.0 reply: the server closes after it.
    static ScriptedReply Http10(const QByteArray& body);
    // A 200 reply with "Connection: close"; the server closes after it.
    static ScriptedReply ConnectionClose(const QByteArray& body);
    // Announces `announced` body bytes, sends the first `sent`, then closes.
    static ScriptedReply CloseMidBody(int announced, int sent);
    static ScriptedReply Raw(const QByteArray& bytes, bool closeAfter);
    static ScriptedReply Reset() { return {Action::Reset, {}, true}; }
    static ScriptedReply CloseBeforeReply() { return {Action::CloseBeforeReply, {}, true}; }
    static ScriptedReply Stall() { return {Action::Stall, {}, true}; }
    // A 200 reply without a length whose body comes one byte every
    // `intervalMs`, `bytes` bytes in all, ended by closing the connection.
    static ScriptedReply Trickle(int bytes, int intervalMs);
};

// An HTTP server of the tests' own on 127.0.0.1: real sockets, its own
// accept thread and one thread per connection. Each request is answered by
// the next scripted reply, or by the responder once the script is used up
// (default: 200 with the body "tile"). It records the raw head of every
// request (request line to the empty line, CR LF kept) and counts the
// connections it accepted. Asked as a proxy, it answers the same way, so
// the head shows the full address in the request line.
class LoopbackHttpServer {
public:
    using Responder = std::function<ScriptedReply(const QByteArray& requestHead)>;

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int Port() const { return port_; }
    // "http://127.0.0.1:<port>"
    QString BaseUrl() const;

    void Script(std::initializer_list<ScriptedReply> replies);
    void Enqueue(const ScriptedReply& reply);
    void SetResponder(Responder responder);

    QList<QByteArray> RequestHeads() const;
    int RequestCount() const;
    int ConnectionsAccepted() const { return connectionsAccepted_; }
    // The most connections that were open at the same moment.
    int MostConnectionsAtOnce() const { return mostOpen_; }

    // A port on 127.0.0.1 with nothing listening (bound, then released).
    static int UnusedPort();

private:
    void AcceptLoop();
    void Serve(int socket);
    ScriptedReply NextReply(const QByteArray& head);

    int port_ = 0;  // before listenSocket_: opening the listener sets it
    int listenSocket_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connectionsAccepted_{0};
    std::atomic<int> mostOpen_{0};  // written under mutex_, from openSockets_
    mutable std::mutex mutex_;
    std::deque<ScriptedReply> script_;
    Responder responder_;
    QList<QByteArray> heads_;
    std::vector<int> openSockets_;
    std::vector<std::thread> connectionThreads_;
    std::thread acceptThread_;
};

// Splits a raw request head into its lines (CR LF removed, final empty line
// dropped), in a form test frameworks print readably.
std::vector<std::string> HeadLines(const QByteArray& head);
