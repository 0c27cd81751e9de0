#pragma once
// Changes to a document made in one pass from its start to its end: each replaces (or removes, or inserts at)
// a range that begins where the previous one ended or later. Nothing is copied until the first change, so a
// document that needs none costs no copy.
//
// What the pass writes may also go to an earlier place of the output: a place taken while reading (placeOf) is
// where the text of that point of the document went, and a stretch of the document can be diverted to it
// (divert, resume), to come before what was written after the place. The output is then kept in pieces, joined
// once at the end; a place's later diversions follow its earlier ones. Diverting is linear in the bytes moved:
// places are only ever split where the output was written last or at an earlier place of their own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ql {

class RTHTMLEdits {
public:
    // A point of the output between what was written before it and what comes after.
    class Place {
    public:
        Place() = default;

    private:
        friend class RTHTMLEdits;
        Place(std::uint32_t piece, std::size_t offset, bool diverted) : piece_(piece), offset_(offset), diverted_(diverted) {}
        std::uint32_t piece_ = 0;
        std::size_t offset_ = 0;  // in the piece (while it is not diverted to)
        bool diverted_ = false;   // the piece is one of its own, written to at its end
    };

    explicit RTHTMLEdits(std::string_view source) : source_(source) {}

    void replace(std::size_t from, std::size_t to, std::string_view text) {
        if (!changed_) [[unlikely]]
            start();
        out_->append(source_.substr(copied_, from - copied_));
        out_->append(text);
        copied_ = to;
    }
    void insert(std::size_t at, std::string_view text) { replace(at, at, text); }
    void remove(std::size_t from, std::size_t to) { replace(from, to, {}); }

    // Where the document's text at `at` goes, after all written for it so far; `at` is not before end().
    Place placeOf(std::size_t at) const {
        if (!changed_) return {0, at, false};
        return {tail_, pieces_[tail_].text.size() + (at - copied_), false};
    }
    // From `at` on, what is written goes to `place`, after what was diverted to it before, until resume().
    void divert(Place& place, std::size_t at);
    // From `at` on, what is written goes to the end of the output again.
    void resume(std::size_t at);

    // Where the next change may begin.
    std::size_t end() const { return copied_; }
    bool changed() const { return changed_; }
    // The changed document; only when something changed.
    std::string finish();

private:
    struct Piece {
        std::string text;
        std::uint32_t next = NoPiece;
    };
    static constexpr std::uint32_t NoPiece = UINT32_MAX;

    void start();
    std::uint32_t addPiece(std::string text, std::uint32_t next);

    std::string_view source_;
    std::vector<Piece> pieces_;  // in the order of the `next` links from the first
    std::uint32_t tail_ = 0;     // the piece the output ends with
    std::string* out_ = nullptr;  // the text written to
    std::uint32_t target_ = 0;    // its piece
    std::size_t copied_ = 0;
    bool changed_ = false;
};

// Appends "</name>" to `text`: the end tags the repair writes for elements it ends.
inline void RTHTMLAppendEndTag(std::string& text, std::string_view name) { text.append("</").append(name).append(">"); }

}  // namespace ql
