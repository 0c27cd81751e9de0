#include "tests/support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "platform/foundation/RunLoop.h"

namespace ql::test {

namespace {

// Binds the socket to a port of the system's choice on 127.0.0.1 and answers the port; 0 when it cannot.
int bindToLoopback(int socket) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

constexpr std::size_t kSlice = 64 * 1024;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// Loads the chain (leaf first) and key into the server's TLS context.
bool configureIdentity(SSL_CTX& context, const std::string& chainPEM, const std::string& keyPEM) {
    BIO* chain = BIO_new_mem_buf(chainPEM.data(), static_cast<int>(chainPEM.size()));
    bool ok = false;
    if (X509* leaf = PEM_read_bio_X509(chain, nullptr, nullptr, nullptr)) {
        ok = SSL_CTX_use_certificate(&context, leaf) == 1;
        X509_free(leaf);
        while (X509* extra = PEM_read_bio_X509(chain, nullptr, nullptr, nullptr)) {
            ok = ok && SSL_CTX_add_extra_chain_cert(&context, extra) == 1;  // the context owns it now
        }
    }
    BIO_free(chain);
    BIO* key = BIO_new_mem_buf(keyPEM.data(), static_cast<int>(keyPEM.size()));
    EVP_PKEY* privateKey = PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr);
    BIO_free(key);
    ok = ok && privateKey && SSL_CTX_use_PrivateKey(&context, privateKey) == 1;
    EVP_PKEY_free(privateKey);
    return ok;
}

}  // namespace

void Gate::open() {
    {
        std::lock_guard lock(mutex_);
        open_ = true;
    }
    opened_.notify_all();
}

bool Gate::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool Gate::wait(double seconds) const {
    std::unique_lock lock(mutex_);
    return opened_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return open_; });
}

std::optional<std::string> SeenRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

LoopbackServer::LoopbackServer() : server_(std::make_unique<httplib::Server>()) { start(); }

LoopbackServer::LoopbackServer(std::string host) : server_(std::make_unique<httplib::Server>()), host_(std::move(host)) {
    start();
}

LoopbackServer::LoopbackServer(const TestIdentity& identity) : secure_(true) {
    const std::string chain = TestCertificates::shared().chainPEM(identity);
    const std::string key = identity.privateKeyPEM;
    server_ = std::make_unique<httplib::SSLServer>(
        [chain, key](SSL_CTX& context) { return configureIdentity(context, chain, key); });
    start();
}

void LoopbackServer::start() {
    if (!server_->is_valid()) throw std::runtime_error("the loopback server could not be set up");
    server_->set_keep_alive_max_count(1'000'000);
    server_->set_tcp_nodelay(true);  // a reply's head and body are written apart: no waiting for acknowledgements
    // A server thread waits this long on an idle kept-alive connection before it can stop.
    server_->set_keep_alive_timeout(1);
    server_->new_task_queue = [] { return new httplib::ThreadPool(16); };
    server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        remember(request);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // The server's own routes are set once, before it runs: tests add handlers while it serves, so the
    // handlers live in a table of this class, under its lock.
    const auto route = [this](const httplib::Request& request, httplib::Response& response) { dispatch(request, response); };
    server_->Get(".*", route);
    server_->Post(".*", route);
    server_->Put(".*", route);
    server_->Patch(".*", route);
    server_->Delete(".*", route);
    server_->Options(".*", route);
    port_ = server_->bind_to_any_port(host_);
    if (port_ <= 0) throw std::runtime_error("the loopback server could not bind");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::yield();
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard lock(mutex_);
        for (const auto& gate : gates_) gate->open();
    }
    server_->stop();
    thread_.join();
}

std::string LoopbackServer::url(std::string_view path) const {
    return std::string(secure_ ? "https" : "http") + "://" + host_ + ":" + std::to_string(port_) + std::string(path);
}

void LoopbackServer::remember(const httplib::Request& request) {
    SeenRequest seen;
    seen.method = request.method;
    seen.path = request.target;
    for (const auto& [name, value] : request.headers) seen.headers.emplace_back(name, value);
    seen.remotePort = request.remote_port;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(seen));
    }
    // Tests wait on the main run loop for a request to arrive; when its reply is held, nothing else would
    // wake the loop to look again before its time limit.
    ns::RunLoop::main()->wakeUp();
}

std::vector<SeenRequest> LoopbackServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<SeenRequest> LoopbackServer::requests(std::string_view path) const {
    std::vector<SeenRequest> matching;
    std::lock_guard lock(mutex_);
    for (const auto& request : requests_) {
        if (request.path == path) matching.push_back(request);
    }
    return matching;
}

std::size_t LoopbackServer::requestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

std::shared_ptr<Gate> LoopbackServer::makeGate() {
    auto gate = std::make_shared<Gate>();
    std::lock_guard lock(mutex_);
    gates_.push_back(gate);
    return gate;
}

void LoopbackServer::rememberBody(const httplib::Request& request) {
    std::lock_guard lock(mutex_);
    for (auto it = requests_.rbegin(); it != requests_.rend(); ++it) {
        if (it->remotePort == request.remote_port && it->path == request.target) {
            it->body = request.body;
            return;
        }
    }
}

void LoopbackServer::dispatch(const httplib::Request& request, httplib::Response& response) {
    // Requests are remembered before they are routed, so that a held reply does not hide them; their body
    // is read only on the way here.
    rememberBody(request);
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        auto found = handlers_.find(request.path);
        if (found != handlers_.end()) handler = found->second;
    }
    if (handler) return handler(request, response);
    response.status = 404;
}

void LoopbackServer::handle(const std::string& path, Handler handler) {
    std::lock_guard lock(mutex_);
    handlers_[path] = std::move(handler);
}

void LoopbackServer::serveText(const std::string& path, std::string body, std::string contentType, int status,
                               std::vector<std::pair<std::string, std::string>> headers) {
    handle(path, [=](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        for (const auto& [name, value] : headers) response.set_header(name, value);
        response.set_content(body, contentType);
    });
}

void LoopbackServer::serveChunked(const std::string& path, std::vector<std::string> chunks, std::string contentType) {
    handle(path, [=](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider(contentType, [chunks](std::size_t offset, httplib::DataSink& sink) {
            std::size_t at = 0;
            for (const auto& chunk : chunks) {
                if (at == offset) {
                    sink.write(chunk.data(), chunk.size());
                    return true;
                }
                at += chunk.size();
            }
            sink.done();
            return true;
        });
    });
}

void LoopbackServer::serveRedirect(const std::string& path, int status, const std::string& location) {
    handle(path, [=](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(location, status);
        response.set_content("moved", "text/plain");
    });
}

void LoopbackServer::serveTruncated(const std::string& path, std::string sent, std::size_t declaredLength,
                                    bool chunked) {
    handle(path, [=](const httplib::Request&, httplib::Response& response) {
        auto provide = [sent](std::size_t offset, httplib::DataSink& sink) {
            if (offset > 0) return false;  // the connection is closed here
            sink.write(sent.data(), sent.size());
            return true;
        };
        if (chunked) {
            response.set_chunked_content_provider("text/plain", provide);
        } else {
            response.set_content_provider(declaredLength, "text/plain",
                                          [provide](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                              return provide(offset, sink);
                                          });
        }
    });
}

void LoopbackServer::serveInTwoParts(const std::string& path, std::string first, std::string rest,
                                     std::shared_ptr<Gate> gate, bool chunked) {
    handle(path, [=](const httplib::Request&, httplib::Response& response) {
        if (chunked) {
            response.set_chunked_content_provider("text/plain", [first, rest, gate](std::size_t offset, httplib::DataSink& sink) {
                if (offset == 0) return sink.write(first.data(), first.size());
                if (offset == first.size()) {
                    gate->wait();
                    return sink.write(rest.data(), rest.size());
                }
                sink.done();
                return true;
            });
            return;
        }
        response.set_content_provider(
            first.size() + rest.size(), "text/plain",
            [first, rest, gate](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset == 0) return sink.write(first.data(), first.size());
                gate->wait();
                return sink.write(rest.data(), rest.size());
            });
    });
}

void LoopbackServer::serveHeld(const std::string& path, std::shared_ptr<Gate> gate) {
    handle(path, [=](const httplib::Request&, httplib::Response& response) {
        gate->wait();
        response.set_content("late", "text/plain");
    });
}

void LoopbackServer::serveBytes(const std::string& path, std::size_t size,
                                std::shared_ptr<std::atomic<std::size_t>> sent) {
    auto pattern = std::make_shared<std::string>(kSlice + 23, '\0');
    for (std::size_t i = 0; i < pattern->size(); ++i) (*pattern)[i] = patternByte(i);
    handle(path, [=](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(size, "application/octet-stream",
                                      [pattern, size, sent](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          const std::size_t count = std::min(kSlice, size - offset);
                                          if (sent) *sent = offset + count;
                                          return sink.write(pattern->data() + offset % 23, count);
                                      });
    });
}

ScriptedServer::ScriptedServer(std::string reply)
    : ScriptedServer([reply = std::move(reply)](const std::string&) { return reply; }) {}

ScriptedServer::ScriptedServer(std::function<std::string(const std::string& requestHead)> replyFor)
    : replyFor_(std::move(replyFor)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    port_ = bindToLoopback(listener_);
    if (port_ == 0 || ::listen(listener_, 8) != 0 || ::pipe2(stopPipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("the scripted server could not listen");
    thread_ = std::thread([this] { serve(); });
}

ScriptedServer::~ScriptedServer() {
    const char stop = 0;
    [[maybe_unused]] auto written = ::write(stopPipe_[1], &stop, 1);
    thread_.join();
    ::close(listener_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string ScriptedServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void ScriptedServer::serve() {
    for (;;) {
        pollfd waits[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) continue;
        if (waits[1].revents) return;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        ++connections_;
        // Reads until the blank line that ends the request head (or until the client gives up).
        std::string head;
        char buffer[1024];
        while (head.find("\r\n\r\n") == std::string::npos) {
            pollfd readable[2] = {{connection, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (::poll(readable, 2, -1) < 0 || readable[1].revents) break;
            const ssize_t count = ::read(connection, buffer, sizeof buffer);
            if (count <= 0) break;
            head.append(buffer, static_cast<std::size_t>(count));
        }
        const std::string reply = replyFor_(head);
        for (std::size_t sent = 0; sent < reply.size();) {
            // A client that hung up ends the reply, not the test process.
            const ssize_t count = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (count <= 0) break;
            sent += static_cast<std::size_t>(count);
        }
        ::close(connection);
    }
}

RefusingPort::RefusingPort() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(bindToLoopback(socket_)) {
    if (port_ != 0) return;
    if (socket_ >= 0) ::close(socket_);
    throw std::runtime_error("no loopback port could be reserved");
}

RefusingPort::~RefusingPort() {
    if (socket_ >= 0) ::close(socket_);
}

std::string RefusingPort::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

SilentPort::SilentPort() : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), port_(bindToLoopback(socket_)) {
    if (port_ != 0 && ::listen(socket_, 64) == 0) return;
    if (socket_ >= 0) ::close(socket_);
    throw std::runtime_error("no loopback port could be listened on");
}

SilentPort::~SilentPort() {
    hangUp();
    ::close(socket_);
}

std::string SilentPort::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

bool SilentPort::takeCall(double seconds) {
    pollfd waiting{socket_, POLLIN, 0};
    if (::poll(&waiting, 1, static_cast<int>(seconds * 1000)) != 1) return false;
    const int call = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (call < 0) return false;
    calls_.push_back(call);
    return true;
}

void SilentPort::hangUp() {
    for (const int call : calls_) ::close(call);
    calls_.clear();
}

}  // namespace ql::test
