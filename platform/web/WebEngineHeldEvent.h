#pragma once
// Gathering an event that holds its page until the app answers it: a held request (Fetch.requestPaused) or
// a dialog (Page.javascriptDialogOpening). A page makes such an event as large as it likes: a held request
// carries the request's body twice, as text and as Base64 body entries, and a prompt carries its default
// text whole. Left unanswered, the page waits for ever (a synchronous request stops its thread), so such an
// event is never simply dropped:
//  - the body's text ("postData") is left out as it comes (written as null): it cannot give back bytes that
//    are not UTF-8, and the entries carry them all;
//  - the body entries' bytes are left out (each written as null) once keeping them would leave less than a
//    thirty-second of the bound for the rest, so that the app still hears of the request and can fail it;
//  - should the rest still pass the bound, the event is passed over, and what it was passed over for keeps
//    its session and request ids, by which the app answers it.
// The text is read as the engine writes it (compact JSON, a message's kind first); only its structure and a
// few short fields are followed, so a long text costs one search for its end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ql::ui {

class WebEngineHeldEvent {
public:
    // Whether events of this method hold their page until the app answers them.
    static bool holdsItsPage(std::string_view method);

    WebEngineHeldEvent(std::string_view method, std::size_t bound) : method_(method), bound_(bound) {}

    // Takes the message's next bytes (its NUL excluded), adding what is kept of them to `kept`, which never
    // grows past the bound: once it would, it is emptied and given back, and the message is passed over.
    void take(std::string_view bytes, std::vector<char>& kept);

    const std::string& method() const { return method_; }
    bool passedOver() const { return passedOver_; }
    // The message's session and, for a held request, its request id; empty when the message had none.
    const std::string& session() const { return session_; }
    const std::string& requestID() const { return requestID_; }

private:
    // Where a container lies in the message, as far as it matters.
    enum class Place : std::uint8_t { Other, Message, Params, Request, BodyEntries, BodyEntry };
    enum class Text : std::uint8_t { Key, Kept, Session, RequestID, LeftOut, Body };
    struct Level {
        Place place;
        bool object;
        bool awaitsKey;
    };

    void structure(char c, std::vector<char>& kept);
    void openText(std::vector<char>& kept);
    void textBytes(std::string_view bytes, std::vector<char>& kept);
    // How many of the bytes belong to the text being read (up to its closing quote or their end).
    std::size_t textLength(std::string_view bytes);
    void keep(std::string_view bytes, std::vector<char>& kept);
    Place placeOfNew(bool object) const;
    Text kindOfValue() const;

    const std::string method_;
    const std::size_t bound_;
    std::vector<Level> levels_;
    bool inText_ = false;
    bool escaped_ = false;
    Text text_ = Text::Kept;
    std::string key_;             // the last key read, as far as it can name one that matters
    std::size_t textStart_ = 0;   // where the body text being kept begins in `kept`
    bool bodyLeftOut_ = false;
    bool passedOver_ = false;
    std::string session_;
    std::string requestID_;
};

}  // namespace ql::ui
