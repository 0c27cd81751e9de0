#include "tools/standin-service/StandinService.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/foundation/JSONSerialization.h"
#include "tools/standin-service/ServiceOperations.h"
#include "tools/standin-service/ServicePictures.h"
#include "tools/standin-service/ServiceState.h"

namespace ql::standin {

namespace {

constexpr std::string_view JSONContentType = "application/json; charset=utf-8";

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

std::string withLeadingSlash(std::string_view path) {
    return path.starts_with('/') ? std::string(path) : "/" + std::string(path);
}

std::string jsonText(const ns::Value& value) {
    const auto data = ns::JSONSerialization::dataWithJSONObject(value, 0, nullptr);
    return data ? data->toString() : std::string("{}");
}

// Scalars as their text, containers as their JSON.
std::string fieldText(const ns::Value& value) {
    if (value.isArray() || value.isDictionary()) return jsonText(value);
    return value.isNull() ? std::string() : value.stringValue();
}

JournalEntry journalEntry(const httplib::Request& request) {
    JournalEntry entry;
    entry.method = request.method;
    entry.path = request.path;
    for (const auto& [name, value] : request.headers) {
        // The server adds the connection's addresses as pseudo-headers; the client never sent them.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") continue;
        entry.headers.emplace_back(name, value);
    }
    const std::string contentType = request.get_header_value("Content-Type");
    if (request.is_multipart_form_data()) {
        for (const auto& [name, part] : request.files) {
            if (part.filename.empty()) entry.fields.emplace_back(name, part.content);
            else entry.files.push_back({name, part.filename, part.content_type, part.content});
        }
    } else if (contentType.starts_with("application/x-www-form-urlencoded")) {
        entry.fields = decodeForm(request.body);
    } else if (contentType.starts_with("application/json")) {
        const ns::Value body = ns::JSONSerialization::JSONObjectWithData(request.body, 0, nullptr);
        if (const ns::Dictionary* members = body.asDictionary()) {
            for (const auto& [name, value] : *members) entry.fields.emplace_back(name, fieldText(value));
        }
    }
    if (request.method != "POST") {
        const std::size_t query = request.target.find('?');
        if (query != std::string::npos) entry.fields = decodeForm(std::string_view(request.target).substr(query + 1));
    }
    return entry;
}

ns::Value journalJSON(const std::vector<JournalEntry>& journal) {
    ns::Array entries;
    for (const JournalEntry& entry : journal) {
        ns::Dictionary headers, fields;
        for (const auto& [name, value] : entry.headers) headers.set(name, value);
        for (const auto& [name, value] : entry.fields) fields.set(name, value);
        ns::Array files;
        for (const auto& file : entry.files) {
            files.push_back(ns::Dictionary{{"name", file.name},
                                           {"filename", file.filename},
                                           {"contentType", file.contentType},
                                           {"length", static_cast<std::int64_t>(file.content.size())}});
        }
        entries.push_back(ns::Dictionary{{"method", entry.method},
                                         {"path", entry.path},
                                         {"headers", std::move(headers)},
                                         {"fields", std::move(fields)},
                                         {"files", std::move(files)}});
    }
    return entries;
}

std::optional<Fault> faultFromForm(const Form& form) {
    const std::string kind = form.text("kind").value_or("");
    if (kind == "status") {
        if (!form.text("status")) return Fault::withStatus(500);
        // Only a status HTTP can carry.
        const std::int64_t status = form.integer("status");
        if (status < 100 || status > 599) return std::nullopt;
        return Fault::withStatus(static_cast<int>(status));
    }
    if (kind == "contentType") return Fault::withContentType(form.text("contentType").value_or("text/html"));
    if (kind == "nonJSON") return Fault::nonJSONBody();
    if (kind == "jsonArray") return Fault::jsonArray();
    if (kind == "hold") return Fault::held();
    if (kind == "close") return Fault::closedConnection();
    return std::nullopt;
}

bool readBody(const httplib::ContentReader& reader, httplib::Request& request) {
    return reader([&](const char* data, std::size_t length) {
        request.body.append(data, length);
        return true;
    });
}

bool readMultipart(const httplib::ContentReader& reader, httplib::Request& request) {
    httplib::MultipartFormData* part = nullptr;
    return reader(
        [&](const httplib::MultipartFormData& header) {
            part = &request.files.emplace(header.name, header)->second;
            return true;
        },
        [&](const char* data, std::size_t length) {
            part->content.append(data, length);
            return true;
        });
}

// The saved state when there is one, else the fixtures; what a save a kill cut short left goes first.
std::string folderToStartFrom(const std::string& fixturesDirectory, const std::optional<std::string>& stateDirectory) {
    if (!stateDirectory) return fixturesDirectory;
    ServiceState::removeLeftovers(*stateDirectory);
    return ServiceState::isSaved(*stateDirectory) ? *stateDirectory : fixturesDirectory;
}

}  // namespace

std::optional<std::string> JournalEntry::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (equalsIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

std::optional<std::string> JournalEntry::field(std::string_view name) const { return Form(fields).text(name); }

struct StandinService::Impl {
    Impl(const std::string& fixturesDirectory, std::optional<std::string> stateFolder, std::chrono::milliseconds delay)
        : stateDirectory(std::move(stateFolder)),
          state(folderToStartFrom(fixturesDirectory, stateDirectory)),
          saveDelay(delay) {
        if (stateDirectory) saver = std::thread([this] { saveLoop(); });
    }
    ~Impl() { finishSaving(); }

    void route(const httplib::Request& request, httplib::Response& response);
    void control(const httplib::Request& request, httplib::Response& response);
    void answer(const std::string& path, Operation operation, const JournalEntry& entry, std::uint64_t releasesOnArrival,
                httplib::Response& response);
    std::optional<Fault> faultFor(const std::string& path) const;
    // Counted from the request's arrival, so a release that comes before its handler gets here still sends it.
    void waitForReleaseAfter(std::uint64_t releasesOnArrival);
    // Sends what is held: the requests waiting now go, and no longer count as held.
    void release();
    void stateChanged();
    void saveLoop();
    // Saves what is pending and ends the saver; nothing changes the state afterwards.
    void finishSaving();

    httplib::Server server;
    std::thread thread;
    int port = 0;

    std::mutex stateMutex;
    std::optional<std::string> stateDirectory;
    ServiceState state;
    ServicePictures pictures;

    const std::chrono::milliseconds saveDelay;
    std::mutex saveMutex;
    std::condition_variable saveWanted;
    bool unsaved = false;
    bool closing = false;
    std::thread saver;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<JournalEntry> journal;
    std::map<std::string, Fault, std::less<>> faults;
    std::uint64_t releases = 0;
    std::size_t held = 0;  // requests waiting for a release that has not come
    bool stopping = false;
};

void StandinService::Impl::route(const httplib::Request& request, httplib::Response& response) {
    if (request.path.starts_with("/__")) {
        control(request, response);
        return;
    }
    JournalEntry entry = journalEntry(request);
    std::uint64_t releasesOnArrival = 0;
    {
        std::lock_guard lock(mutex);
        journal.push_back(entry);
        releasesOnArrival = releases;
    }
    changed.notify_all();
    if (request.path.starts_with("/Upload/") && request.method == "GET") {
        std::lock_guard lock(stateMutex);
        pictures.serve(state, request, response);
        return;
    }
    const auto& operations = serviceOperations();
    const auto operation = operations.find(std::string_view(request.path).substr(1));
    if (operation == operations.end()) {
        response.status = 404;
        response.set_content(jsonText(refused("接口不存在")), std::string(JSONContentType));
        return;
    }
    answer(request.path, operation->second, entry, releasesOnArrival, response);
}

void StandinService::Impl::answer(const std::string& path, Operation operation, const JournalEntry& entry,
                                  std::uint64_t releasesOnArrival, httplib::Response& response) {
    const std::optional<Fault> fault = faultFor(path);
    if (fault && fault->kind == Fault::Kind::Status) {
        response.status = fault->status;
        response.set_content(jsonText(refused("服务器错误")), std::string(JSONContentType));
        return;
    }
    if (fault && fault->kind == Fault::Kind::NonJSONBody) {
        response.set_content("<html><body>服务暂时不可用</body></html>", std::string(JSONContentType));
        return;
    }
    if (fault && fault->kind == Fault::Kind::ClosedConnection) {
        response.set_content_provider(64, std::string(JSONContentType),
                                      [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
        return;
    }
    if (fault && fault->kind == Fault::Kind::Held) waitForReleaseAfter(releasesOnArrival);

    ns::Value reply;
    {
        std::lock_guard lock(stateMutex);
        reply = operation(state, Form(entry.fields));
    }
    if (stateDirectory) stateChanged();
    if (fault && fault->kind == Fault::Kind::JSONArray) reply = ns::Array{reply};
    const bool otherType = fault && fault->kind == Fault::Kind::ContentType;
    response.set_content(jsonText(reply), otherType ? fault->contentType : std::string(JSONContentType));
}

void StandinService::Impl::control(const httplib::Request& request, httplib::Response& response) {
    const auto ok = [&] { response.set_content(jsonText(succeeded()), std::string(JSONContentType)); };
    const auto bad = [&](std::string_view why) {
        response.status = 400;
        response.set_content(std::string(why), "text/plain");
    };
    if (request.path == "/__journal" && request.method == "GET") {
        std::lock_guard lock(mutex);
        response.set_content(jsonText(journalJSON(journal)), std::string(JSONContentType));
    } else if (request.path == "/__journal" && request.method == "DELETE") {
        std::lock_guard lock(mutex);
        journal.clear();
        ok();
    } else if (request.path == "/__fault" && request.method == "POST") {
        const Form form(decodeForm(request.body));
        const auto path = form.text("path");
        const auto fault = faultFromForm(form);
        if (!path || path->empty() || !fault)
            return bad("a fault needs `path` and a known `kind` (and a `status` from 100 to 599)");
        std::lock_guard lock(mutex);
        faults[withLeadingSlash(*path)] = *fault;
        ok();
    } else if (request.path == "/__fault" && request.method == "DELETE") {
        std::lock_guard lock(mutex);
        if (request.has_param("path")) faults.erase(withLeadingSlash(request.get_param_value("path")));
        else faults.clear();
        ok();
    } else if (request.path == "/__release" && request.method == "POST") {
        release();
        ok();
    } else {
        response.status = 404;
        response.set_content("no such control endpoint", "text/plain");
    }
}

std::optional<Fault> StandinService::Impl::faultFor(const std::string& path) const {
    std::lock_guard lock(mutex);
    const auto it = faults.find(path);
    return it == faults.end() ? std::nullopt : std::optional<Fault>(it->second);
}

// However long it takes: a time limit of its own would meet the client's time-out at some moment and race
// it. Stopping the service sends what it holds, so no server thread outlives it.
void StandinService::Impl::waitForReleaseAfter(std::uint64_t releasesOnArrival) {
    std::unique_lock lock(mutex);
    if (releases != releasesOnArrival) return;
    ++held;
    changed.notify_all();
    changed.wait(lock, [&] { return stopping || releases != releasesOnArrival; });
}

void StandinService::Impl::release() {
    {
        std::lock_guard lock(mutex);
        ++releases;
        held = 0;
    }
    changed.notify_all();
}

void StandinService::Impl::stateChanged() {
    {
        std::lock_guard lock(saveMutex);
        unsaved = true;
    }
    saveWanted.notify_all();
}

void StandinService::Impl::saveLoop() {
    std::unique_lock lock(saveMutex);
    for (;;) {
        saveWanted.wait(lock, [&] { return unsaved || closing; });
        if (!unsaved) return;
        // Later operations of a burst join this save; stopping cuts the wait short.
        saveWanted.wait_for(lock, saveDelay, [&] { return closing; });
        unsaved = false;
        lock.unlock();
        try {
            std::lock_guard stateLock(stateMutex);
            state.save(*stateDirectory);
        } catch (const std::exception& error) {
            // Nobody waits for a reply here: the message is all there is. The next change tries again.
            std::fprintf(stderr, "stand-in service: state not saved: %s\n", error.what());
        }
        lock.lock();
    }
}

void StandinService::Impl::finishSaving() {
    if (!saver.joinable()) return;
    {
        std::lock_guard lock(saveMutex);
        closing = true;
    }
    saveWanted.notify_all();
    saver.join();
}

std::string StandinService::defaultFixturesDirectory() { return QL_STANDIN_FIXTURES_DIRECTORY; }

StandinService::StandinService(int port, const std::string& fixturesDirectory,
                               std::optional<std::string> stateDirectory, std::chrono::milliseconds saveDelay)
    : impl_(std::make_unique<Impl>(fixturesDirectory, std::move(stateDirectory), saveDelay)) {
    httplib::Server& server = impl_->server;
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    // An idle kept-alive connection holds a server thread this long before the server can stop.
    server.set_keep_alive_timeout(1);
    const auto handler = [impl = impl_.get()](const httplib::Request& request, httplib::Response& response) {
        impl->route(request, response);
    };
    server.Get(".*", handler);
    // Bodies are read here rather than by the server, whose own reading refuses any form body over 8 KiB.
    server.Post(".*", [impl = impl_.get()](const httplib::Request& request, httplib::Response& response,
                                          const httplib::ContentReader& reader) {
        httplib::Request whole = request;
        const bool read = request.is_multipart_form_data() ? readMultipart(reader, whole) : readBody(reader, whole);
        if (!read) {
            // The server has set 413 when the body was too large; anything else cut the body short.
            if (response.status < 400) response.status = 400;
            return;
        }
        impl->route(whole, response);
    });
    server.Put(".*", handler);
    server.Delete(".*", handler);
    server.set_payload_max_length(MaximumBodyLength);
    // What the server refuses by itself (a body too large, say) comes without a body: give it a refusal the
    // app can read. Replies that already have a body (the faults' statuses) stay as they are.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            const std::string msg = response.status == 413 ? "请求内容过大" : "请求无法处理";
            response.set_content(jsonText(refused(msg)), std::string(JSONContentType));
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        response.status = 500;
        response.set_content(jsonText(refused("服务器错误")), std::string(JSONContentType));
    });
    if (port == 0) {
        impl_->port = server.bind_to_any_port("127.0.0.1");
    } else if (server.bind_to_port("127.0.0.1", port)) {
        impl_->port = port;
    }
    if (impl_->port <= 0) throw std::runtime_error("stand-in service: cannot listen on 127.0.0.1:" + std::to_string(port));
    impl_->state.baseURL = baseURL();
    impl_->thread = std::thread([&server] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::yield();
}

StandinService::~StandinService() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->changed.notify_all();
    impl_->server.stop();
    impl_->thread.join();
    impl_->finishSaving();
}

int StandinService::port() const { return impl_->port; }

std::string StandinService::baseURL() const { return "http://127.0.0.1:" + std::to_string(impl_->port) + "/"; }

std::vector<JournalEntry> StandinService::journal() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->journal;
}

std::vector<JournalEntry> StandinService::journal(std::string_view path) const {
    const std::string wanted = withLeadingSlash(path);
    std::vector<JournalEntry> matching;
    std::lock_guard lock(impl_->mutex);
    for (const JournalEntry& entry : impl_->journal) {
        if (entry.path == wanted) matching.push_back(entry);
    }
    return matching;
}

void StandinService::clearJournal() {
    std::lock_guard lock(impl_->mutex);
    impl_->journal.clear();
}

bool StandinService::waitForRequests(std::string_view path, std::size_t count, double seconds) const {
    const std::string wanted = withLeadingSlash(path);
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
        return static_cast<std::size_t>(std::ranges::count(impl_->journal, wanted, &JournalEntry::path)) >= count;
    });
}

void StandinService::setFault(std::string_view path, Fault fault) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults[withLeadingSlash(path)] = std::move(fault);
}

bool StandinService::holds(std::string_view path) const {
    const auto fault = impl_->faultFor(withLeadingSlash(path));
    return fault && fault->kind == Fault::Kind::Held;
}

std::size_t StandinService::heldReplies() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->held;
}

void StandinService::clearFault(std::string_view path) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.erase(withLeadingSlash(path));
}

void StandinService::clearFaults() {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.clear();
}

void StandinService::releaseHeldReplies() { impl_->release(); }

bool StandinService::waitForHeldReplies(std::size_t count, double seconds) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return impl_->held >= count; });
}

}  // namespace ql::standin
