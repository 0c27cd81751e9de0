#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Stream.h"
#include "platform/net/HTTPCookie.h"
#include "platform/net/HTTPCookieStorage.h"
#include "platform/net/HTTPDate.h"
#include "platform/net/URLError.h"
#include "platform/net/URLRequest.h"
#include "platform/net/URLResponse.h"
#include "tests/support/PeerProcess.h"

using namespace ql::ns;

TEST(NetValueTests, RequestsAreValuesWithCaseInsensitiveFields) {
    URLRequest request(URL::fromString("http://example.com/a"));
    EXPECT_EQ(request.HTTPMethod(), "GET");
    EXPECT_EQ(request.timeoutInterval(), 60);
    EXPECT_FALSE(request.hasExplicitTimeoutInterval());
    EXPECT_TRUE(request.HTTPShouldHandleCookies());
    request.setValue("text/html", "Content-Type");
    request.setValue("application/json", "content-type");
    request.addValue("a", "Accept");
    request.addValue("b", "ACCEPT");
    EXPECT_EQ(request.valueForHTTPHeaderField("CONTENT-TYPE"), "application/json");
    EXPECT_EQ(request.allHTTPHeaderFields()["Content-Type"].asString(), "application/json");
    EXPECT_EQ(request.valueForHTTPHeaderField("accept"), "a,b");
    request.setValue(std::nullopt, "CONTENT-type");
    EXPECT_FALSE(request.valueForHTTPHeaderField("Content-Type"));

    URLRequest copy = request;
    copy.setHTTPMethod("POST");
    copy.setHTTPBody(Data(std::string_view("x=1")));
    EXPECT_EQ(request.HTTPMethod(), "GET");
    EXPECT_FALSE(request.HTTPBody());
    copy.setHTTPBodyStream(InputStream::inputStreamWithData(Data()));
    EXPECT_FALSE(copy.HTTPBody());  // one body at a time
    copy.setHTTPBody(Data());
    EXPECT_FALSE(copy.HTTPBodyStream());
    copy.setHTTPMethod("");
    EXPECT_EQ(copy.HTTPMethod(), "GET");
}

TEST(NetValueTests, ResponsesReadTheirHeaderFields) {
    HTTPHeaderFields fields;
    fields.set("content-type", "Text/HTML; charset=\"ISO-8859-1\"");
    fields.set("Content-Length", "1234");
    fields.set("ETag", "\"x\"");
    HTTPURLResponse response(*URL::fromString("http://h/dir/file.txt?q=1"), 200, "HTTP/1.1", fields);
    EXPECT_EQ(response.MIMEType(), "text/html");
    EXPECT_EQ(response.textEncodingName(), "ISO-8859-1");
    EXPECT_EQ(response.expectedContentLength(), 1234);
    EXPECT_EQ(response.valueForHTTPHeaderField("etag"), "\"x\"");
    EXPECT_EQ(response.suggestedFilename(), "file.txt");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(404), "not found");
    EXPECT_EQ(HTTPURLResponse::localizedStringForStatusCode(299), "success");

    HTTPHeaderFields chunked;
    chunked.set("Transfer-Encoding", "chunked");
    chunked.set("Content-Length", "10");
    chunked.set("Content-Disposition", "attachment; filename*=UTF-8''r%C3%A9sum%C3%A9.pdf; filename=\"resume.pdf\"");
    HTTPURLResponse streamed(*URL::fromString("http://h/"), 200, std::nullopt, chunked);
    EXPECT_EQ(streamed.expectedContentLength(), URLResponseUnknownLength);
    EXPECT_FALSE(streamed.MIMEType());
    EXPECT_EQ(streamed.suggestedFilename(), "r\u00e9sum\u00e9.pdf");
    EXPECT_EQ(URLResponse(URL::fromString("http://host/"), std::nullopt, -1, std::nullopt).suggestedFilename(), "host");

    // A name that would climb out of or stay in the folder it is saved to is no file name.
    for (const char* disposition : {"attachment; filename=\"..\"", "attachment; filename*=UTF-8''%2E%2E",
                                    "attachment; filename=\"a/.\"", "attachment; filename=\"/\""}) {
        HTTPHeaderFields named;
        named.set("Content-Disposition", disposition);
        EXPECT_EQ(HTTPURLResponse(*URL::fromString("http://h/dir/file.txt"), 200, std::nullopt, named).suggestedFilename(),
                  "file.txt")
            << disposition;
    }
    EXPECT_EQ(URLResponse(URL::fromString("http://host/a/.."), std::nullopt, -1, std::nullopt).suggestedFilename(), "host");
    EXPECT_EQ(URLResponse(URL::fromString("http://host/a/."), std::nullopt, -1, std::nullopt).suggestedFilename(), "host");

    HTTPHeaderFields bad;
    bad.set("Content-Length", "12x");
    EXPECT_EQ(HTTPURLResponse(*URL::fromString("http://h/"), 200, std::nullopt, bad).expectedContentLength(), -1);
}

TEST(NetValueTests, ErrorsNameTheFailingURL) {
    Error error = urlError(URLErrorTimedOut, URL::fromString("http://h/slow"));
    EXPECT_EQ(error.domain(), "NSURLErrorDomain");
    EXPECT_EQ(error.localizedDescription(), "The request timed out.");
    EXPECT_EQ(error.userInfo()[URLErrorFailingURLStringErrorKey].asString(), "http://h/slow");
    EXPECT_EQ(URL::fromValue(error.userInfo()[URLErrorFailingURLErrorKey])->absoluteString(), "http://h/slow");
    EXPECT_TRUE(urlError(URLErrorBadURL, std::nullopt).userInfo().find(URLErrorFailingURLErrorKey) == nullptr);
}

TEST(NetValueTests, ParsesTheDatesServersSend) {
    EXPECT_EQ(parseHTTPDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777.0);
    EXPECT_EQ(parseHTTPDate("Sunday, 06-Nov-94 08:49:37 GMT"), 784111777.0);
    EXPECT_EQ(parseHTTPDate("Sun Nov  6 08:49:37 1994"), 784111777.0);
    EXPECT_EQ(parseHTTPDate("Wed, 21-Oct-2015 07:28:00 GMT"), 1445412480.0);
    EXPECT_FALSE(parseHTTPDate("yesterday"));
    EXPECT_FALSE(parseHTTPDate("Sun, 32 Nov 1994 08:49:37 GMT"));
}

TEST(NetValueTests, ADateThatDoesNotExistOrALongNumberIsNoDate) {
    // Days past the end of their month, read by an independent reader of the same format.
    const std::vector<std::string> dates{"Sat, 31 Feb 2015 07:28:00 GMT", "Sun, 29 Feb 2015 07:28:00 GMT",
                                         "Thu, 29 Feb 2024 07:28:00 GMT", "Wed, 31 Apr 2015 07:28:00 GMT",
                                         "Thu, 30 Apr 2015 23:59:59 GMT", "Sat, 31 Dec 1994 00:00:00 GMT"};
    std::string input;
    for (const std::string& date : dates) input += date + "\n";
    const auto peer = ql::test::runPeer(
        ql::test::pythonCommand("import sys, email.utils\n"
                            "for line in sys.stdin:\n"
                            "    try: print(int(email.utils.parsedate_to_datetime(line.strip()).timestamp()))\n"
                            "    except ValueError: print('none')\n"),
        input);
    ASSERT_TRUE(peer);
    std::string ours;
    for (const std::string& date : dates) {
        const auto parsed = parseHTTPDate(date);
        ours += (parsed ? std::to_string(static_cast<std::int64_t>(*parsed)) : std::string("none")) + "\n";
    }
    EXPECT_EQ(ours, *peer);

    // A token of more digits than a day, year or time takes is none of them, however long it is.
    EXPECT_EQ(parseHTTPDate("Wed, 21 Oct 2015 07:28:00 GMT 123456789012345678901234567890"),
              parseHTTPDate("Wed, 21 Oct 2015 07:28:00 GMT"));
    EXPECT_FALSE(parseHTTPDate("99999999999 Oct 2015 07:28:00"));
    EXPECT_FALSE(parseHTTPDate("21 Oct 99999999999 07:28:00"));
}

TEST(NetValueTests, AReplysCookiesReplaceTheirSlotsAsIfSetInTurn) {
    ManualClockScope clock(1'000'000'000.0);
    const URL url = *URL::fromString("http://www.example.com/");
    HTTPCookieStorage storage;
    storage.setCookieAcceptPolicy(HTTPCookieAcceptPolicy::Always);
    auto store = [&](const char* field) {
        storage.setCookies(HTTPCookie::cookiesWithResponseHeaderFields(Dictionary{{"Set-Cookie", Value(field)}}, url),
                           url, std::nullopt);
        std::string stored;
        for (const auto& cookie : storage.cookies()) stored += cookie->name() + "=" + cookie->value() + " ";
        return stored;
    };
    EXPECT_EQ(store("a=1, b=1, c=1, d=1, A=1"), "a=1 b=1 c=1 d=1 A=1 ");
    // A later cookie of a slot wins, also within one reply; an expired one only removes; a name differing in
    // case is a slot of its own.
    EXPECT_EQ(store("a=2, b=2, a=3, d=2; Max-Age=0, e=1, b=3; Max-Age=-1, A=2"), "c=1 a=3 e=1 A=2 ");
    EXPECT_EQ(store("c=2; Path=/other"), "c=1 a=3 e=1 A=2 c=2 ");
}

TEST(NetValueTests, TheStoreKeepsTheNewestCookiesWithinItsLimits) {
    ManualClockScope clock(1'000'000'000.0);
    auto field = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += (i ? ", c" : "c") + std::to_string(i) + "=v";
        return Dictionary{{"Set-Cookie", Value(text)}};
    };
    auto store = [&](HTTPCookieStorage& storage, const std::string& host, int count) {
        const URL url = *URL::fromString("http://" + host + "/");
        storage.setCookies(HTTPCookie::cookiesWithResponseHeaderFields(field(count), url), url, std::nullopt);
    };
    // One reply's many cookies for one site: the newest of them stay.
    HTTPCookieStorage one;
    one.setCookieAcceptPolicy(HTTPCookieAcceptPolicy::Always);
    store(one, "www.example.com", 200);
    auto kept = one.cookies();
    ASSERT_EQ(kept.size(), HTTPCookieStorage::kMostCookiesPerDomain);
    EXPECT_EQ(kept.front()->name(), "c20");
    EXPECT_EQ(kept.back()->name(), "c199");

    // Many sites: the oldest sites' cookies go first once the store is full.
    HTTPCookieStorage many;
    many.setCookieAcceptPolicy(HTTPCookieAcceptPolicy::Always);
    const int sites = static_cast<int>(HTTPCookieStorage::kMostCookies / HTTPCookieStorage::kMostCookiesPerDomain) + 4;
    for (int site = 0; site < sites; ++site) store(many, "h" + std::to_string(site) + ".example.org", 180);
    EXPECT_EQ(many.cookies().size(), HTTPCookieStorage::kMostCookies);
    EXPECT_TRUE(many.cookiesForURL(*URL::fromString("http://h0.example.org/")).empty());
    EXPECT_EQ(many.cookiesForURL(*URL::fromString("http://h" + std::to_string(sites - 1) + ".example.org/")).size(), 180u);
}

TEST(NetValueTests, ACookieCannotClaimAWholeTopLevelDomain) {
    // A site may widen its cookie to its own domain, never to every site under "com".
    auto cookies = [](const char* host, const char* field) {
        return HTTPCookie::cookiesWithResponseHeaderFields(Dictionary{{"Set-Cookie", Value(field)}},
                                                           *URL::fromString(std::string("http://") + host + "/"));
    };
    EXPECT_TRUE(cookies("www.example.com", "a=1; Domain=com").empty());
    EXPECT_TRUE(cookies("www.example.com", "a=1; Domain=.com").empty());
    ASSERT_EQ(cookies("www.example.com", "a=1; Domain=example.com").size(), 1u);
    EXPECT_EQ(cookies("www.example.com", "a=1; Domain=example.com")[0]->domain(), ".example.com");
    // An address is no domain: a cookie set for part of one would go to other addresses.
    EXPECT_TRUE(cookies("10.0.0.1", "a=1; Domain=0.0.1").empty());
    ASSERT_EQ(cookies("10.0.0.1", "a=1; Domain=10.0.0.1").size(), 1u);
    EXPECT_FALSE(cookies("10.0.0.1", "a=1; Domain=10.0.0.1")[0]->matchesURL(*URL::fromString("http://110.0.0.1/")));
    // A host of one label may still name itself.
    ASSERT_EQ(cookies("localhost", "a=1; Domain=localhost").size(), 1u);
    EXPECT_EQ(cookies("localhost", "a=1; Domain=localhost")[0]->domain(), "localhost");
}

TEST(NetValueTests, CookiesFollowTheirDomainPathAndExpiry) {
    ManualClockScope clock(1'000'000'000.0);
    const URL url = *URL::fromString("https://www.example.com/shop/cart");
    Dictionary fields;
    fields.set("Set-Cookie", Value("a=1; Domain=example.com; Path=/; Secure, b=2; Expires=Wed, 21-Oct-2037 07:28:00 GMT, "
                                   "c=3; Max-Age=10, d=4; Domain=other.org"));
    auto cookies = HTTPCookie::cookiesWithResponseHeaderFields(fields, url);
    ASSERT_EQ(cookies.size(), 3u);  // d is for another domain
    EXPECT_EQ(cookies[0]->domain(), ".example.com");
    EXPECT_TRUE(cookies[0]->isSecure());
    EXPECT_EQ(cookies[1]->domain(), "www.example.com");
    EXPECT_EQ(cookies[1]->path(), "/shop");
    EXPECT_FALSE(cookies[1]->isSessionOnly());

    HTTPCookieStorage storage;
    storage.setCookieAcceptPolicy(HTTPCookieAcceptPolicy::Always);
    storage.setCookies(cookies, url, std::nullopt);
    auto names = [&](const char* text) {
        std::string joined;
        for (const auto& cookie : storage.cookiesForURL(*URL::fromString(text))) joined += cookie->name();
        return joined;
    };
    EXPECT_EQ(names("https://www.example.com/shop/item"), "bca");  // longest path first
    EXPECT_EQ(names("http://www.example.com/shop"), "bc");         // a is secure
    EXPECT_EQ(names("https://api.example.com/"), "a");             // b and c are for www only
    EXPECT_EQ(names("https://www.example.com/shopping"), "a");     // "/shop" is not a prefix of a segment
    Clock::advance(11);
    EXPECT_EQ(names("https://www.example.com/shop/"), "ba");  // c expired
    EXPECT_EQ(HTTPCookie::requestHeaderFieldsWithCookies(storage.cookiesForURL(url))["Cookie"].asString(), "b=2; a=1");

    storage.setCookieAcceptPolicy(HTTPCookieAcceptPolicy::OnlyFromMainDocumentDomain);
    storage.setCookies(HTTPCookie::cookiesWithResponseHeaderFields(Dictionary{{"Set-Cookie", Value("t=1")}},
                                                                   *URL::fromString("http://tracker.net/")),
                       *URL::fromString("http://tracker.net/"), URL::fromString("http://www.example.com/"));
    EXPECT_EQ(storage.cookies().size(), 2u);
}
