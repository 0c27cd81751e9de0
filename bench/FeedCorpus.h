#pragma once
// A second JSON corpus, of another shape than the book list: a feed of short posts as a social service's
// search reply carries them. Each post has some twenty-five members and a user of forty more, most of them
// short texts, flags, nulls and 64-bit ids (with their text twins); its text mixes Japanese, emoji, line
// breaks and links; links everywhere are written with escaped slashes, as such services write them; one
// post in four quotes another post whole. Deterministic, so every run measures the same text.

#include <cstdint>
#include <string>

#include "bench/BookCorpus.h"

namespace ql::bench {

namespace feed {

using corpus::Random;

inline const char* const sentences[] = {
    "\u304a\u306f\u3088\u3046\u3054\u3056\u3044\u307e\u3059\uff01\u4eca\u65e5\u3082\u9811\u5f35\u308d\u3046",
    "\u65b0\u3057\u3044\u30ab\u30d5\u30a7\u306b\u884c\u3063\u3066\u304d\u307e\u3057\u305f\u2615 ",
    "Repost if you agree \U0001F602\U0001F602",
    "\\n\\n\u540d\u524d:\u524d\u7530\u3042\u3086\u307f\\n"
    "\u7b2c\u4e00\u5370\u8c61:\u306a\u3093\u304b\u6016\u3063\uff01\\n",
    "Check this out: http:\\/\\/t.example.com\\/ab12CdEf ",
    "\u201cquoted\u201d words & <tags> ",
    "\u3010\u62e1\u6563\u5e0c\u671b\u3011\u5b9a\u671f\u30e9\u30a4\u30d6\u306e\u304a\u77e5\u3089\u305b #music ",
    "\u2764\ufe0e\u6700\u9ad8\u306e\u590f\u3092\u3042\u308a\u304c\u3068\u3046\u2764\ufe0e"};
inline const char* const names[] = {"AYUMI", "\u524d\u7530\u3042\u3086\u307f", "\u304f\u307e\u306e\u30d7\u30fc",
                                    "Daily News", "\u2605\u661f\u7a7a\u2605", "sakura_bot"};
inline const char* const places[] = {"", "\u6771\u4eac", "Osaka, Japan",
                                     "\u798f\u5ca1\u770c\u3000\u4e45\u7559\u7c73\u5e02",
                                     "\u5730\u7403\u306e\u3069\u3053\u304b"};
inline const char* const clients[] = {
    "<a href=\\\"http:\\/\\/apps.example.com\\/phone\\\" rel=\\\"nofollow\\\">Example for Phone<\\/a>",
    "<a href=\\\"http:\\/\\/apps.example.com\\/web\\\" rel=\\\"nofollow\\\">Example Web Client<\\/a>",
    "web"};
inline const char* const days[] = {"Sun Aug 31 00:29:15 +0000 2014", "Sat Feb 16 13:40:25 +0000 2013",
                                   "Mon Jul 21 09:05:41 +0000 2014"};

inline std::string jsonText(const std::string& text) { return "\"" + text + "\""; }
inline std::string flag(Random& random) { return random.next(3) ? "false" : "true"; }

inline std::string user(Random& random) {
    using std::to_string;
    const std::string id = to_string(100000000 + random.next(2000000000));
    const std::string screenName = "user_" + to_string(random.next(100000));
    std::string r = "{\"id\":" + id + ",\"id_str\":" + jsonText(id) + ",\"name\":" + jsonText(random.pick(names)) +
                    ",\"screen_name\":" + jsonText(screenName) + ",\"location\":" + jsonText(random.pick(places)) +
                    ",\"description\":" + jsonText(std::string(random.pick(sentences)) + random.pick(sentences)) +
                    ",\"url\":" + (random.next(2) ? "null" : jsonText("http:\\/\\/t.example.com\\/" + screenName)) +
                    ",\"entities\":{\"description\":{\"urls\":[]}},\"protected\":" + flag(random);
    for (const char* count : {"followers_count", "friends_count", "listed_count", "favourites_count", "statuses_count"})
        r += ",\"" + std::string(count) + "\":" + to_string(random.next(100000));
    r += ",\"created_at\":" + jsonText(random.pick(days)) + ",\"utc_offset\":" +
         (random.next(2) ? "32400" : "null") + ",\"time_zone\":" + (random.next(2) ? "\"Tokyo\"" : "null");
    for (const char* key : {"geo_enabled", "verified", "contributors_enabled", "is_translator",
                            "is_translation_enabled", "profile_background_tile", "profile_use_background_image",
                            "default_profile", "default_profile_image", "following", "follow_request_sent",
                            "notifications"})
        r += ",\"" + std::string(key) + "\":" + flag(random);
    r += ",\"lang\":\"ja\"";
    for (const char* color : {"profile_background_color", "profile_link_color", "profile_sidebar_border_color",
                              "profile_sidebar_fill_color", "profile_text_color"})
        r += ",\"" + std::string(color) + "\":\"" + to_string(100000 + random.next(900000)) + "\"";
    const std::string images = "\"http:\\/\\/img.example.com\\/profile_images\\/" + id + "\\/";
    r += ",\"profile_background_image_url\":" + images + "background.png\"" + ",\"profile_image_url\":" + images +
         "photo_normal.jpeg\"" + ",\"profile_image_url_https\":" + images + "photo_normal.jpeg\"" +
         ",\"profile_banner_url\":" + images + "1409345880\"";
    return r + "}";
}

inline std::string post(Random& random, bool mayQuote) {
    using std::to_string;
    const std::string id = to_string(505874924095815681ull + random.next(1u << 30));
    std::string text;
    for (std::uint32_t s = 0, n = 1 + random.next(3); s < n; ++s) text += random.pick(sentences);
    std::string r = "{\"metadata\":{\"result_type\":\"recent\",\"iso_language_code\":\"ja\"},\"created_at\":" +
                    jsonText(random.pick(days)) + ",\"id\":" + id + ",\"id_str\":" + jsonText(id) +
                    ",\"text\":" + jsonText(text) + ",\"source\":" + jsonText(random.pick(clients)) +
                    ",\"truncated\":false";
    for (const char* reply : {"in_reply_to_status_id", "in_reply_to_status_id_str", "in_reply_to_user_id",
                              "in_reply_to_user_id_str", "in_reply_to_screen_name"})
        r += ",\"" + std::string(reply) + "\":null";
    r += ",\"user\":" + user(random) + ",\"geo\":null,\"coordinates\":null,\"place\":null,\"contributors\":null";
    if (mayQuote && random.next(4) == 0) r += ",\"reposted_status\":" + post(random, false);
    r += ",\"repost_count\":" + to_string(random.next(5000)) + ",\"favorite_count\":" + to_string(random.next(5000)) +
         ",\"entities\":{\"hashtags\":[],\"symbols\":[],\"urls\":[],\"user_mentions\":[";
    for (std::uint32_t m = 0, n = random.next(3); m < n; ++m) {
        const std::string mentioned = to_string(100000000 + random.next(2000000000));
        r += std::string(m ? "," : "") + "{\"screen_name\":\"user_" + to_string(random.next(100000)) +
             "\",\"name\":" + jsonText(random.pick(names)) + ",\"id\":" + mentioned +
             ",\"id_str\":" + jsonText(mentioned) + ",\"indices\":[" + to_string(m * 10) + "," +
             to_string(m * 10 + 9) + "]}";
    }
    return r + "]},\"favorited\":false,\"reposted\":false,\"lang\":\"ja\"}";
}

}  // namespace feed

// A feed of at least `bytes` bytes of JSON text: {"statuses":[post, …],"search_metadata":{…}}.
inline std::string feedJSON(std::size_t bytes) {
    feed::Random random;
    std::string out = "{\"statuses\":[";
    for (int i = 0; out.size() < bytes; ++i) out += (i ? "," : "") + feed::post(random, true);
    return out + "],\"search_metadata\":{\"completed_in\":0.087,\"max_id\":505874924095815681,\"count\":100}}";
}

}  // namespace ql::bench
