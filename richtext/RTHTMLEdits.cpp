#include "richtext/RTHTMLEdits.h"

#include <utility>

namespace ql {

void RTHTMLEdits::start() {
    changed_ = true;
    pieces_.emplace_back();
    pieces_.front().text.reserve(source_.size() + source_.size() / 8 + 64);
    out_ = &pieces_.front().text;
}

std::uint32_t RTHTMLEdits::addPiece(std::string text, std::uint32_t next) {
    pieces_.push_back({std::move(text), next});
    out_ = &pieces_[target_].text;  // the vector may have moved
    return static_cast<std::uint32_t>(pieces_.size() - 1);
}

void RTHTMLEdits::divert(Place& place, std::size_t at) {
    insert(at, {});
    if (!place.diverted_) {
        // The piece is cut at the place; what follows it there comes after a new piece of the place's own.
        Piece& cut = pieces_[place.piece_];
        std::string after = cut.text.substr(place.offset_);
        cut.text.resize(place.offset_);
        const std::uint32_t rest = addPiece(std::move(after), pieces_[place.piece_].next);
        const std::uint32_t own = addPiece({}, rest);
        pieces_[place.piece_].next = own;
        if (tail_ == place.piece_) tail_ = rest;
        place = {own, 0, true};
    }
    target_ = place.piece_;
    out_ = &pieces_[target_].text;
}

void RTHTMLEdits::resume(std::size_t at) {
    insert(at, {});
    target_ = tail_;
    out_ = &pieces_[target_].text;
}

std::string RTHTMLEdits::finish() {
    out_->append(source_.substr(copied_));
    copied_ = source_.size();
    if (pieces_.size() == 1) return std::move(pieces_.front().text);
    std::size_t size = 0;
    for (const Piece& piece : pieces_) size += piece.text.size();
    std::string joined;
    joined.reserve(size);
    for (std::uint32_t piece = 0; piece != NoPiece; piece = pieces_[piece].next) joined += pieces_[piece].text;
    return joined;
}

}  // namespace ql
