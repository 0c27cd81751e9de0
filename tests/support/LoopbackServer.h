#pragma once
// HTTP and HTTPS servers on 127.0.0.1 that tests start in-process, with scripted replies and faults:
// statuses and content types, redirects, chunked bodies, bodies cut short by a closed connection, and
// replies held back until the test opens a gate (for time-outs and cancellation mid-body). The server
// remembers every request it read, so a test can tell what reached it.

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/TestCertificates.h"

namespace ql::test {

// A latch a held reply waits on. Waits are bounded, so a failed test cannot hang a server thread.
class Gate {
public:
    void open();
    bool isOpen() const;
    // Waits at most `seconds` of real time; answers whether the gate opened.
    bool wait(double seconds = 30) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable opened_;
    bool open_ = false;
};

struct SeenRequest {
    std::string method;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int remotePort = -1;

    std::optional<std::string> header(std::string_view name) const;
};

class LoopbackServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // Plain HTTP.
    LoopbackServer();
    // Plain HTTP on another loopback address ("127.0.0.2", say): another host for the client.
    explicit LoopbackServer(std::string host);
    // HTTPS, presenting the identity's certificate and its chain.
    explicit LoopbackServer(const TestIdentity& identity);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://<host>:<port><path>" (https for an HTTPS server); `path` starts with "/".
    std::string url(std::string_view path) const;

    // Every method for exactly this path (without the query); a later handler for it replaces an earlier one.
    void handle(const std::string& path, Handler handler);

    void serveText(const std::string& path, std::string body, std::string contentType = "text/plain", int status = 200,
                   std::vector<std::pair<std::string, std::string>> headers = {});
    // The pieces as chunks of a chunked body.
    void serveChunked(const std::string& path, std::vector<std::string> chunks, std::string contentType = "text/plain");
    void serveRedirect(const std::string& path, int status, const std::string& location);
    // Announces `declaredLength` bytes (or a chunked body), sends `sent`, then closes the connection.
    void serveTruncated(const std::string& path, std::string sent, std::size_t declaredLength, bool chunked = false);
    // `first` at once; the rest of the body only once the gate opens. A chunked body gives no length.
    void serveInTwoParts(const std::string& path, std::string first, std::string rest, std::shared_ptr<Gate> gate,
                         bool chunked = false);
    // No reply at all until the gate opens.
    void serveHeld(const std::string& path, std::shared_ptr<Gate> gate);
    // `size` bytes of a repeating pattern (see patternByte), with a Content-Length; `sent`, when given,
    // follows how far the server has written.
    void serveBytes(const std::string& path, std::size_t size,
                    std::shared_ptr<std::atomic<std::size_t>> sent = nullptr);
    static char patternByte(std::size_t offset) { return static_cast<char>('a' + offset % 23); }

    // A gate the server opens itself when it stops, so that no held reply outlives the test.
    std::shared_ptr<Gate> makeGate();

    std::vector<SeenRequest> requests() const;
    // Those for one path (query included).
    std::vector<SeenRequest> requests(std::string_view path) const;
    std::size_t requestCount() const;

private:
    void start();
    void remember(const httplib::Request& request);
    void rememberBody(const httplib::Request& request);
    void dispatch(const httplib::Request& request, httplib::Response& response);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::string host_ = "127.0.0.1";
    int port_ = 0;
    bool secure_ = false;
    mutable std::mutex mutex_;
    std::vector<SeenRequest> requests_;
    std::vector<std::shared_ptr<Gate>> gates_;
    std::map<std::string, Handler> handlers_;
};

// A bare TCP server on 127.0.0.1 for replies no HTTP server would send: each connection gets the
// scripted bytes once the request head has arrived, then is closed.
class ScriptedServer {
public:
    explicit ScriptedServer(std::string reply);
    // The reply to each request is made from its head (request line and header fields), on the server's
    // thread, one connection at a time.
    explicit ScriptedServer(std::function<std::string(const std::string& requestHead)> replyFor);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::string url(std::string_view path) const;
    std::size_t connectionCount() const { return connections_.load(); }

private:
    void serve();

    const std::function<std::string(const std::string& requestHead)> replyFor_;
    int listener_ = -1;
    int stopPipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<std::size_t> connections_{0};
    std::thread thread_;
};

// A loopback port held bound but not listening for as long as this lives: connecting to it is refused, and
// no other program can take it meanwhile (as it could a port freed before use).
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int port() const { return port_; }
    std::string url(std::string_view path) const;

private:
    int socket_ = -1;
    int port_ = 0;
};

// A loopback port that takes every connection and never answers on it, for as long as this lives: a service
// that has gone quiet. The system takes the connections (up to a backlog); a test may take them itself to tell
// when a call has come.
class SilentPort {
public:
    SilentPort();
    ~SilentPort();
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;
    int port() const { return port_; }
    std::string url(std::string_view path) const;
    // Waits up to `seconds` of real time for a call to come, takes it and leaves it unanswered until hangUp.
    bool takeCall(double seconds);
    // Closes the calls taken.
    void hangUp();

private:
    int socket_ = -1;
    int port_ = 0;
    std::vector<int> calls_;
};

}  // namespace ql::test
