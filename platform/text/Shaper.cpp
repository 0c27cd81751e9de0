#include "platform/text/Shaper.h"

#include <unicode/uchar.h>
#include <unicode/uscript.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <map>
#include <memory>
#include <span>
#include <utility>

#include "platform/foundation/PerThread.h"
#include "platform/text/BidiLevels.h"
#include "platform/text/EmojiPresentation.h"
#include "platform/text/FontFace.h"

namespace ql::ct::detail {

namespace {

struct BufferDeleter {
    void operator()(hb_buffer_t* b) const { hb_buffer_destroy(b); }
};
using Buffer = std::unique_ptr<hb_buffer_t, BufferDeleter>;

// A buffer holding more glyphs than this after shaping is let go rather than kept for the thread's next text.
constexpr unsigned kLargestKeptBuffer = 4096;

ns::PerThread<Buffer>& threadBuffers() {
    static ns::PerThread<Buffer> buffers;
    return buffers;
}

// The thread's shaping buffer, made once and cleared for each text. A new buffer asks the shaping library for its
// default character functions, made on first use and freed by an exit handler of the library's own: a thread
// making one while the process ends may take them as they are freed. A kept buffer holds them, so they outlive
// that handler.
Buffer& threadBuffer() {
    Buffer& buffer = threadBuffers().get();
    if (!buffer) buffer.reset(hb_buffer_create());
    hb_buffer_clear_contents(buffer.get());
    return buffer;
}

char32_t codePointAt(std::u16string_view text, std::uint64_t& index) {
    UChar32 c;
    auto i = static_cast<std::int32_t>(index);
    U16_NEXT(text.data(), i, static_cast<std::int32_t>(text.size()), c);
    index = static_cast<std::uint64_t>(i);
    return static_cast<char32_t>(c);
}

// Characters any face may carry: they take no ink of their own.
bool needsNoGlyph(char32_t c) {
    auto u = static_cast<UChar32>(c);
    return isLineSeparator(c) || u_charType(u) == U_CONTROL_CHAR || u_hasBinaryProperty(u, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

bool isNeutral(char32_t c) {
    auto u = static_cast<UChar32>(c);
    return needsNoGlyph(c) || u_isUWhiteSpace(u);
}

// A paragraph starts afresh: white space at its start does not take the face of the paragraph before, and
// its scripts are resolved within it, so that a paragraph is laid out the same wherever it stands.
struct Cluster {
    std::uint64_t start;
    std::uint64_t end;
    std::size_t style;
    const FontRecord* face;
    UScriptCode script;
    bool endsParagraph;
    std::uint8_t level;
};

// The fonts a style's characters may be drawn with, made once per style and face.
class FontChoice {
public:
    explicit FontChoice(const StyledText& text)
        : text_(text), emoji_(FontCatalog::shared().emojiFont()), fallbacks_(FontCatalog::shared().fallbackFonts()) {}

    const Font& font(std::size_t style, const FontRecord* record) {
        const Font& primary = text_.runs()[style].style.font;
        if (record == &primary.record()) return primary;
        auto key = std::make_pair(style, record);
        auto found = fonts_.find(key);
        if (found == fonts_.end()) found = fonts_.emplace(key, primary.fallback(*record)).first;
        return found->second;
    }

    // The first face that has a glyph for every character of the cluster that needs one; failing that,
    // the first with a glyph for its base character; failing that the style's own face, whose missing
    // glyph then shows. An emoji tries the emoji face first.
    const FontRecord* choose(std::size_t style, const std::vector<char32_t>& characters, const FontRecord* previous) {
        const FontRecord* primary = &text_.runs()[style].style.font.record();
        const bool emoji = emoji_ && isEmojiPresentation(characters);
        // White space stays with the face of the text before it, so that it does not split runs; not
        // with an emoji's, whose spaces are not the text's.
        const bool keepsPrevious =
            previous && previous != emoji_ && std::all_of(characters.begin(), characters.end(), isNeutral);
        // The faces in the order they are tried, until `accepts` takes one.
        auto tryFaces = [&](auto&& accepts) -> const FontRecord* {
            if (emoji && accepts(emoji_)) return emoji_;
            if (keepsPrevious && accepts(previous)) return previous;
            if (accepts(primary)) return primary;
            for (const FontRecord* fallback : fallbacks_) {
                if (accepts(fallback)) return fallback;
            }
            return nullptr;
        };
        auto base = std::find_if_not(characters.begin(), characters.end(), needsNoGlyph);
        if (base == characters.end()) return tryFaces([](const FontRecord*) { return true; });
        if (auto* face = tryFaces([&](const FontRecord* candidate) {
                const Font& f = font(style, candidate);
                return std::all_of(characters.begin(), characters.end(),
                                   [&](char32_t c) { return needsNoGlyph(c) || f.hasGlyph(c); });
            })) {
            return face;
        }
        if (auto* face = tryFaces([&](const FontRecord* candidate) { return font(style, candidate).hasGlyph(*base); })) {
            return face;
        }
        return primary;
    }

private:
    const StyledText& text_;
    const FontRecord* emoji_;
    const std::vector<const FontRecord*>& fallbacks_;
    std::map<std::pair<std::size_t, const FontRecord*>, Font> fonts_;
};

// Characters of common script (punctuation, digits, spaces) and combining marks belong to the script
// around them, so that they shape with it and do not split items.
void resolveParagraphScripts(std::span<Cluster> clusters) {
    auto isReal = [](UScriptCode s) { return s != USCRIPT_COMMON && s != USCRIPT_INHERITED; };
    UScriptCode current = USCRIPT_COMMON;
    for (auto& cluster : clusters) {
        if (isReal(cluster.script)) current = cluster.script;
        else cluster.script = current;
    }
    UScriptCode first = USCRIPT_COMMON;
    for (auto& cluster : clusters) {
        if (isReal(cluster.script)) {
            first = cluster.script;
            break;
        }
    }
    for (auto& cluster : clusters) {
        if (isReal(cluster.script)) break;
        cluster.script = first;
    }
}

void resolveScripts(std::vector<Cluster>& clusters) {
    for (std::size_t start = 0, end = 0; start < clusters.size(); start = end) {
        while (end < clusters.size() && !clusters[end++].endsParagraph) {}
        resolveParagraphScripts(std::span(clusters).subspan(start, end - start));
    }
}

hb_script_t harfBuzzScript(UScriptCode script) {
    const char* name = uscript_getShortName(script);
    return name ? hb_script_from_string(name, -1) : HB_SCRIPT_COMMON;
}

// The glyph of a cluster [first, last) that takes the kerning set by the text: its last, or, right to
// left, its first, whose room then opens on its left, after the character in text order.
std::size_t kernedGlyph(std::size_t first, std::size_t last, bool rightToLeft) { return rightToLeft ? first : last - 1; }

// Kerning set by the text widens each character by the same amount, after its last glyph.
void applyKern(std::vector<RunGlyph>& glyphs, double kern, bool rightToLeft) {
    if (kern == 0) return;
    forEachClusterInTextOrder(glyphs, rightToLeft, [&](std::size_t first, std::size_t last) {
        RunGlyph& g = glyphs[kernedGlyph(first, last, rightToLeft)];
        if (g.id == InvisibleGlyph) return;
        g.advance += kern;
        if (rightToLeft) g.position.x += kern;
    });
}

std::vector<RunGlyph> shapeItem(const std::u16string& text, ns::Range range, const Font& font, UScriptCode script,
                                bool rightToLeft) {
    Buffer& kept = threadBuffer();
    // Let go however the shaping ends when it grew large; cleared at the next use otherwise.
    struct LetGoIfLarge {
        Buffer& buffer;
        ~LetGoIfLarge() {
            if (hb_buffer_get_length(buffer.get()) > kLargestKeptBuffer) buffer.reset();
        }
    } letGo{kept};
    hb_buffer_t* const buffer = kept.get();
    hb_buffer_add_utf16(buffer, reinterpret_cast<const std::uint16_t*>(text.data()),
                        static_cast<int>(text.size()), static_cast<unsigned>(range.location),
                        static_cast<int>(range.length));
    // Direction and script are set, and the language deliberately left unset, so that shaping never
    // depends on the host's locale.
    hb_buffer_set_direction(buffer, rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, harfBuzzScript(script));
    hb_shape(font.face().hbFont(), buffer, nullptr, 0);

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    const double xScale = font.scale() * font.matrix().a;
    const double yScale = font.scale() * font.matrix().d;

    hb_codepoint_t space = 0;
    hb_font_get_nominal_glyph(font.face().hbFont(), U' ', &space);
    const double spaceAdvance = hb_font_get_glyph_h_advance(font.face().hbFont(), space) * xScale;

    std::vector<RunGlyph> glyphs;
    glyphs.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        RunGlyph g;
        g.stringIndex = infos[i].cluster;
        std::uint64_t at = g.stringIndex;
        char32_t c = codePointAt(text, at);
        g.isWhitespace = isBreakingWhitespace(c);
        if (c == U'\t') {
            g.id = space;
            g.advance = spaceAdvance;
        } else if (isLineSeparator(c) || u_charType(static_cast<UChar32>(c)) == U_CONTROL_CHAR) {
            g.id = InvisibleGlyph;
        } else {
            g.id = infos[i].codepoint;
            g.advance = positions[i].x_advance * xScale;
            g.position = {positions[i].x_offset * xScale, positions[i].y_offset * yScale};
        }
        glyphs.push_back(g);
    }
    return glyphs;
}

}  // namespace

std::vector<ShapedItem> shape(const StyledText& text, const TextBreaks& breaks, std::span<const std::uint8_t> levels) {
    const std::u16string& string = text.string();
    FontChoice choice(text);
    std::vector<Cluster> clusters;
    for (std::uint64_t start = 0; start < string.size();) {
        std::uint64_t end = breaks.nextCharacterBoundary(start);
        std::vector<char32_t> characters;
        for (std::uint64_t i = start; i < end;) characters.push_back(codePointAt(string, i));
        std::size_t style = text.runIndexAt(start);
        const FontRecord* previous =
            !clusters.empty() && !clusters.back().endsParagraph && clusters.back().style == style ? clusters.back().face : nullptr;
        UErrorCode status = U_ZERO_ERROR;
        UScriptCode script = uscript_getScript(static_cast<UChar32>(characters.front()), &status);
        if (U_FAILURE(status)) script = USCRIPT_COMMON;
        const std::uint8_t level = levels.empty() ? 0 : levels[start];
        clusters.push_back({start, end, style, choice.choose(style, characters, previous), script,
                            endsParagraphAt(string, end - 1), level});
        start = end;
    }
    resolveScripts(clusters);

    std::vector<ShapedItem> items;
    for (std::size_t i = 0; i < clusters.size();) {
        std::size_t j = i + 1;
        while (j < clusters.size() && clusters[j].style == clusters[i].style && clusters[j].face == clusters[i].face &&
               clusters[j].script == clusters[i].script && clusters[j].level == clusters[i].level) {
            ++j;
        }
        ns::Range range{clusters[i].start, clusters[j - 1].end - clusters[i].start};
        TextStyle style = text.runs()[clusters[i].style].style;
        style.font = choice.font(clusters[i].style, clusters[i].face);
        const bool rightToLeft = clusters[i].level % 2 != 0;
        std::vector<RunGlyph> glyphs = shapeItem(string, range, style.font, clusters[i].script, rightToLeft);
        applyKern(glyphs, style.kern, rightToLeft);
        items.push_back({style, range, std::move(glyphs), clusters[i].script, clusters[i].level});
        i = j;
    }
    return items;
}

std::optional<unsigned> keptShapingBufferLength() {
    const Buffer& buffer = threadBuffers().get();
    if (!buffer) return std::nullopt;
    return hb_buffer_get_length(buffer.get());
}

std::vector<std::pair<std::uint64_t, LineEnd>> lineEnds(const std::u16string& text, const ShapedItem& item) {
    const Font& font = item.style.font;
    hb_font_t* hbFont = font.face().hbFont();
    const double xScale = font.scale() * font.matrix().a;
    const bool rightToLeft = item.level % 2 != 0;
    const auto& glyphs = item.glyphs;
    std::vector<std::pair<std::uint64_t, LineEnd>> ends;
    // Each cluster is seen once the one after it in text order is known; the item's last cluster is
    // shaped with nothing after it already.
    bool started = false;
    std::size_t first = 0;
    std::size_t last = 0;
    forEachClusterInTextOrder(glyphs, rightToLeft, [&](std::size_t next, std::size_t nextLast) {
        const bool seen = std::exchange(started, true);
        const std::size_t clusterFirst = std::exchange(first, next);
        const std::size_t clusterLast = std::exchange(last, nextLast);
        if (!seen) return;
        // Only a cluster whose advances the shaper changed from the glyphs' own may owe it to what follows.
        bool adjusted = false;
        double width = 0;
        for (std::size_t g = clusterFirst; g < clusterLast; ++g) {
            width += glyphs[g].advance;
            const double kern = g == kernedGlyph(clusterFirst, clusterLast, rightToLeft) ? item.style.kern : 0;
            if (glyphs[g].id != InvisibleGlyph && !glyphs[g].isWhitespace &&
                glyphs[g].advance - kern != hb_font_get_glyph_h_advance(hbFont, glyphs[g].id) * xScale) {
                adjusted = true;
            }
        }
        if (!adjusted) return;
        const std::uint64_t start = glyphs[clusterFirst].stringIndex;
        const std::uint64_t end = glyphs[next].stringIndex;
        LineEnd lineEnd{start, shapeItem(text, {start, end - start}, font, static_cast<UScriptCode>(item.script), rightToLeft), 0};
        applyKern(lineEnd.glyphs, item.style.kern, rightToLeft);
        for (const RunGlyph& g : lineEnd.glyphs) lineEnd.widthChange += g.advance;
        lineEnd.widthChange -= width;
        if (lineEnd.widthChange != 0) ends.emplace_back(end, std::move(lineEnd));
    });
    return ends;
}

}  // namespace ql::ct::detail
