#pragma once
// A stand-in for the app's remote service, for tests and for running the app on one machine: an HTTP/1.1
// server on 127.0.0.1 that answers the 29 operations from fixture data (ServiceOperations.h), serves the
// pictures it was sent, keeps a journal of every request, and can be told to fail chosen paths.
//
// Control endpoints (not journaled): GET /__journal (the journal as JSON), DELETE /__journal (empty it),
// POST /__fault with form fields `path`, `kind` (status, contentType, nonJSON, jsonArray, hold, close),
// `status` and `contentType`; DELETE /__fault (all faults, or the one of query field `path`);
// POST /__release (send the held replies).
//
// Whatever a request holds, it gets a reply: bodies past MaximumBodyLength and operations that fail answer
// a JSON refusal with `result` 0 and `msg`.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/standin-service/ServiceForm.h"

namespace ql::standin {

struct JournalEntry {
    struct FilePart {
        std::string name;
        std::string filename;
        std::string contentType;
        std::string content;
    };

    std::string method;
    std::string path;  // without the query: "/Mobile/StudentLogin"
    std::vector<std::pair<std::string, std::string>> headers;
    // Decoded: the form body of a POST (URL-form, the text parts of a multipart body, or the members of a
    // JSON object body), the query of anything else.
    FormFields fields;
    std::vector<FilePart> files;  // the file parts of a multipart body

    // Header names compare without case.
    std::optional<std::string> header(std::string_view name) const;
    std::optional<std::string> field(std::string_view name) const;
};

// How a path is made to fail. The faults that answer no reply of the operation (status, non-JSON body,
// closed connection) leave the service's data unchanged.
struct Fault {
    enum class Kind {
        Status,            // that status, with a JSON body
        ContentType,       // the operation's reply under another content type ("text/html")
        NonJSONBody,       // a body that is no JSON, declared as JSON
        JSONArray,         // the operation's reply inside a JSON array
        Held,              // the operation's reply, once releaseHeldReplies is called or the service stops
        ClosedConnection,  // the head of a reply, then the connection closes
    };

    Kind kind = Kind::Status;
    int status = 500;
    std::string contentType;

    static Fault withStatus(int status) { return {Kind::Status, status, {}}; }
    static Fault withContentType(std::string contentType) { return {Kind::ContentType, 200, std::move(contentType)}; }
    static Fault nonJSONBody() { return {Kind::NonJSONBody, 200, {}}; }
    static Fault jsonArray() { return {Kind::JSONArray, 200, {}}; }
    static Fault held() { return {Kind::Held, 200, {}}; }
    static Fault closedConnection() { return {Kind::ClosedConnection, 200, {}}; }
};

class StandinService {
public:
    // The largest request body taken: 16 MiB, room for three photos as base64 with the other fields. A
    // larger body is answered with status 413 and a JSON refusal (`result` 0 and `msg`).
    static constexpr std::size_t MaximumBodyLength = std::size_t{16} << 20;

    // The fixtures folder of the source tree.
    static std::string defaultFixturesDirectory();

    // Loads the fixtures and listens on 127.0.0.1 at `port`, or at a free port for 0. Raises
    // std::runtime_error when the fixtures cannot be read or the port cannot be bound.
    // With a state folder the service starts from what was saved there (from the fixtures the first time)
    // and saves what it knows there once operations have changed it and `saveDelay` has passed (so a burst
    // of operations costs one save, not one each), and when it stops, so a later service goes on from it.
    static constexpr std::chrono::milliseconds DefaultSaveDelay{250};
    explicit StandinService(int port = 0, const std::string& fixturesDirectory = defaultFixturesDirectory(),
                            std::optional<std::string> stateDirectory = std::nullopt,
                            std::chrono::milliseconds saveDelay = DefaultSaveDelay);
    // Stops listening; held replies go out first, then what they changed is saved.
    ~StandinService();
    StandinService(const StandinService&) = delete;
    StandinService& operator=(const StandinService&) = delete;

    int port() const;
    // "http://127.0.0.1:<port>/": the service base URL to give the app.
    std::string baseURL() const;

    // Paths may be given with or without their leading "/".
    std::vector<JournalEntry> journal() const;
    std::vector<JournalEntry> journal(std::string_view path) const;
    void clearJournal();
    // Waits up to `seconds` of real time until the journal holds `count` requests for the path.
    bool waitForRequests(std::string_view path, std::size_t count, double seconds = 10) const;

    void setFault(std::string_view path, Fault fault);
    // Whether requests for the path are held now.
    bool holds(std::string_view path) const;
    void clearFault(std::string_view path);
    void clearFaults();
    // Sends every reply held so far; the fault stays, so later requests are held again.
    void releaseHeldReplies();
    // Requests waiting for a release now (also those whose client has stopped waiting); those a release has
    // sent no longer count.
    std::size_t heldReplies() const;
    // Waits up to `seconds` of real time until `count` requests wait for a release.
    bool waitForHeldReplies(std::size_t count, double seconds = 10) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ql::standin
