#include "net/uikit/WebViewNetworking.h"

#include "net/NetHTTPRequestSerializer.h"
#include "net/NetHTTPResponseSerializer.h"
#include "net/uikit/NetAssociatedObject.h"
#include "net/uikit/NetImageLoading.h"
#include "platform/foundation/StringEncoding.h"

namespace ql {
namespace {

const char kOperationKey = 0;
const char kRequestSerializerKey = 0;
const char kResponseSerializerKey = 0;

// The document to show, and the encoding name to show it with when it differs from the caller's choice.
struct Document {
    ns::Data data;
    std::optional<std::string> textEncodingName;
};
using Transform = std::function<Document(const std::shared_ptr<ns::HTTPURLResponse>& response, const ns::Data& data)>;

void load(const std::shared_ptr<ui::WebView>& view, const ns::URLRequest& request,
          const std::optional<std::string>& MIMEType, const std::optional<std::string>& textEncodingName,
          NetWebViewProgressBlock progress, Transform transform, NetWebViewFailureBlock failure) {
    if (auto earlier = net_HTTPRequestOperation(*view)) earlier->cancel();

    std::optional<ns::Error> error;
    auto serialized = net_requestSerializer(*view)->requestBySerializingRequest(request, ns::Value(), &error);
    if (!serialized || error) {
        net_setHTTPRequestOperation(*view, nullptr);
        if (failure) failure(error.value_or(ns::Error(std::string(NetURLRequestSerializationErrorDomain), -1000)));
        return;
    }

    auto operation = std::make_shared<NetHTTPRequestOperation>(*serialized);
    net_setHTTPRequestOperation(*view, operation);
    operation->setResponseSerializer(net_responseSerializer(*view));
    operation->setDownloadProgressBlock(std::move(progress));
    std::weak_ptr<ui::WebView> weakView = view;
    operation->setCompletionBlockWithSuccess(
        [weakView, MIMEType, textEncodingName, transform](const std::shared_ptr<NetHTTPRequestOperation>& finished,
                                                          const ns::Value&) {
            auto view = weakView.lock();
            if (!view) return;
            const auto response = net_HTTPResponseOf(*finished);
            const ns::Data received = finished->responseData().value_or(ns::Data());
            Document document = transform(response, received);
            const auto replyMIMEType = response ? response->MIMEType() : std::nullopt;
            const auto replyEncoding = response ? response->textEncodingName() : std::nullopt;
            view->loadData(document.data, MIMEType.value_or(replyMIMEType.value_or("")),
                           document.textEncodingName.value_or(textEncodingName.value_or(replyEncoding.value_or(""))),
                           response ? response->URL() : std::nullopt);
            if (auto delegate = view->delegate().lock()) delegate->webViewDidFinishLoad(*view);
        },
        [failure](const std::shared_ptr<NetHTTPRequestOperation>&, const ns::Error& error) {
            if (failure) failure(error);
        });
    operation->start();
    if (auto delegate = view->delegate().lock()) delegate->webViewDidStartLoad(*view);
}

}  // namespace

std::shared_ptr<NetURLRequestSerialization> net_requestSerializer(const ui::WebView& view) {
    if (auto own = net_associatedObject<NetURLRequestSerialization>(view, &kRequestSerializerKey)) return own;
    static const auto* shared = new std::shared_ptr<NetURLRequestSerialization>(NetHTTPRequestSerializer::serializer());
    return *shared;
}

void net_setRequestSerializer(ui::WebView& view, const std::shared_ptr<NetURLRequestSerialization>& serializer) {
    net_setAssociatedObject(view, &kRequestSerializerKey, serializer);
}

std::shared_ptr<NetURLResponseSerialization> net_responseSerializer(const ui::WebView& view) {
    if (auto own = net_associatedObject<NetURLResponseSerialization>(view, &kResponseSerializerKey)) return own;
    static const auto* shared =
        new std::shared_ptr<NetURLResponseSerialization>(NetHTTPResponseSerializer::serializer());
    return *shared;
}

void net_setResponseSerializer(ui::WebView& view, const std::shared_ptr<NetURLResponseSerialization>& serializer) {
    net_setAssociatedObject(view, &kResponseSerializerKey, serializer);
}

std::shared_ptr<NetHTTPRequestOperation> net_HTTPRequestOperation(const ui::WebView& view) {
    return net_associatedObject<NetHTTPRequestOperation>(view, &kOperationKey);
}

void net_setHTTPRequestOperation(ui::WebView& view, const std::shared_ptr<NetHTTPRequestOperation>& operation) {
    net_setAssociatedObject(view, &kOperationKey, operation);
}

void net_loadRequest(const std::shared_ptr<ui::WebView>& view, const ns::URLRequest& request,
                     NetWebViewProgressBlock progress, NetWebViewHTMLSuccessBlock success,
                     NetWebViewFailureBlock failure) {
    Transform transform = [success](const std::shared_ptr<ns::HTTPURLResponse>& response, const ns::Data& data) {
        const auto named = response ? response->textEncodingName() : std::nullopt;
        const auto known = named ? ns::stringEncodingForIANACharsetName(*named) : std::nullopt;
        const ns::StringEncoding encoding = known.value_or(ns::UTF8StringEncoding);
        std::string HTML = ns::decodeTextReplacingInvalid(
                               std::string_view(reinterpret_cast<const char*>(data.bytes()), data.length()), encoding)
                               .value_or(std::string());
        if (success) HTML = success(response, HTML);
        if (auto encoded = ns::encodeText(HTML, encoding)) {
            return Document{*encoded, known ? std::nullopt : std::optional<std::string>("utf-8")};
        }
        return Document{ns::Data(HTML), std::optional<std::string>("utf-8")};
    };
    load(view, request, std::nullopt, std::nullopt, std::move(progress), std::move(transform), std::move(failure));
}

void net_loadRequest(const std::shared_ptr<ui::WebView>& view, const ns::URLRequest& request,
                     const std::optional<std::string>& MIMEType, const std::optional<std::string>& textEncodingName,
                     NetWebViewProgressBlock progress, NetWebViewDataSuccessBlock success,
                     NetWebViewFailureBlock failure) {
    Transform transform = [success](const std::shared_ptr<ns::HTTPURLResponse>& response, const ns::Data& data) {
        return Document{success ? success(response, data) : data, std::nullopt};
    };
    load(view, request, MIMEType, textEncodingName, std::move(progress), std::move(transform), std::move(failure));
}

}  // namespace ql
