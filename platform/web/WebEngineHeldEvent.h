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
//  - a dialog's texts (its message and a prompt's default text) are cut to their first kLongestDialogText
//    UTF-16 units as they come, as the engine cuts a dialog's message itself, never inside a character: a
//    prompt shows, and is answered, whatever the length of its default text;
//  - should the rest still pass the bound, the event is passed over, and what it was passed over for keeps
//    its session and request ids, by which the app answers it.
// The text is read as the engine writes it (compact JSON, a message's kind first); only its structure and a
// few short fields are followed, so a long text costs one search for its end, whatever it holds.

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
    // How much of a dialog's text is kept, in UTF-16 units: what the engine keeps of a dialog's message.
    static constexpr std::size_t kLongestDialogText = 10240;

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
    enum class Text : std::uint8_t { Key, Kept, Session, RequestID, LeftOut, Body, Cut };
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
    // Whether the backslashes right before `end` (back to `floor` at most) escape the byte at `end`.
    static bool escapes(std::string_view bytes, std::size_t end, std::size_t floor);
    // A text being cut: its bytes kept a character (or an escape) at a time until the cut.
    void cutBytes(std::string_view bytes, std::vector<char>& kept);
    // One character of a text being cut, as its bytes, which are `units` UTF-16 units.
    void cutCharacter(std::string_view bytes, std::size_t units, std::vector<char>& kept);
    // The end of a text being cut: a high surrogate held back for its pair is kept alone, if it fits.
    void endCut(std::vector<char>& kept);
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
    // A text being cut.
    std::size_t cutUnits_ = 0;    // the UTF-16 units kept of it
    bool cutDone_ = false;        // the cut is made: the rest goes
    std::string character_;       // the bytes of a character (an escape, a UTF-8 sequence) not yet whole
    std::string highSurrogate_;   // a high surrogate's escape, held back until its pair is known
    bool bodyLeftOut_ = false;
    bool passedOver_ = false;
    std::string session_;
    std::string requestID_;
};

}  // namespace ql::ui
