#include "net/uikit/ButtonNetworking.h"

#include <array>
#include <mutex>

#include "net/NetImageResponseSerializer.h"
#include "net/uikit/NetAssociatedObject.h"
#include "net/uikit/NetImageLoading.h"
#include "platform/ui/Control.h"

namespace ql {
namespace {

// Which image of the button a load is for: the two kinds keep separate slots and setters.
enum class Kind { Image, Background };

const std::array<char, 4> kImageSlotKeys{};
const std::array<char, 4> kBackgroundSlotKeys{};
const char kSerializerKey = 0;

std::mutex cacheMutex;
std::shared_ptr<NetImageCache>& classCache() {
    static auto& cache = *new std::shared_ptr<NetImageCache>;
    return cache;
}

const void* slotKey(Kind kind, unsigned state) {
    std::size_t slot = 0;
    switch (state) {
        case ui::ControlStateHighlighted: slot = 1; break;
        case ui::ControlStateDisabled: slot = 2; break;
        case ui::ControlStateSelected: slot = 3; break;
        default: break;
    }
    return kind == Kind::Image ? &kImageSlotKeys[slot] : &kBackgroundSlotKeys[slot];
}

std::shared_ptr<NetHTTPRequestOperation> slotOperation(const ui::Button& button, Kind kind, unsigned state) {
    return net_associatedObject<NetHTTPRequestOperation>(button, slotKey(kind, state));
}

void setSlotOperation(ui::Button& button, Kind kind, unsigned state, const std::shared_ptr<NetHTTPRequestOperation>& operation) {
    net_setAssociatedObject(button, slotKey(kind, state), operation);
}

void cancelSlot(ui::Button& button, Kind kind, unsigned state) {
    if (auto operation = slotOperation(button, kind, state)) operation->cancel();
    setSlotOperation(button, kind, state, nullptr);
}

void apply(ui::Button& button, Kind kind, unsigned state, std::shared_ptr<ui::Image> image) {
    if (kind == Kind::Image) {
        button.setImage(std::move(image), state);
    } else {
        button.setBackgroundImage(std::move(image), state);
    }
}

void load(const std::shared_ptr<ui::Button>& button, Kind kind, unsigned state, const ns::URLRequest& request,
          std::shared_ptr<ui::Image> placeholder, NetImageSuccessBlock success, NetButtonFailureBlock failure) {
    cancelSlot(*button, kind, state);

    if (auto cached = net_buttonSharedImageCache()->cachedImageForRequest(request)) {
        if (success) {
            success(request, nullptr, cached);
        } else {
            apply(*button, kind, state, cached);
        }
        setSlotOperation(*button, kind, state, nullptr);
        return;
    }

    if (placeholder) apply(*button, kind, state, std::move(placeholder));

    auto operation = std::make_shared<NetHTTPRequestOperation>(request);
    operation->setResponseSerializer(net_imageResponseSerializer(*button));
    std::weak_ptr<ui::Button> weakButton = button;
    // A load replaced or cancelled in its slot must not overwrite what the newer one set.
    const auto isCurrent = [weakButton, kind, state](const std::shared_ptr<NetHTTPRequestOperation>& finished) {
        auto button = weakButton.lock();
        return button && slotOperation(*button, kind, state) == finished ? button : nullptr;
    };
    operation->setCompletionBlockWithSuccess(
        [isCurrent, kind, state, success](const std::shared_ptr<NetHTTPRequestOperation>& finished,
                                          const ns::Value& responseObject) {
            auto image = net_imageOf(responseObject);
            if (auto button = isCurrent(finished)) {
                if (success) {
                    success(finished->request(), net_HTTPResponseOf(*finished), image);
                } else if (image) {
                    apply(*button, kind, state, image);
                }
            }
            net_buttonSharedImageCache()->cacheImage(image, finished->request());
        },
        [isCurrent, failure](const std::shared_ptr<NetHTTPRequestOperation>& finished, const ns::Error& error) {
            if (isCurrent(finished) && failure) failure(error);
        });
    setSlotOperation(*button, kind, state, operation);
    net_buttonSharedImageRequestOperationQueue()->addOperation(operation);
}

}  // namespace

std::shared_ptr<ns::OperationQueue> net_buttonSharedImageRequestOperationQueue() {
    static const auto* queue = new std::shared_ptr<ns::OperationQueue>(std::make_shared<ns::OperationQueue>());
    return *queue;
}

std::shared_ptr<NetHTTPRequestOperation> net_imageRequestOperationForState(const ui::Button& button, unsigned state) {
    return slotOperation(button, Kind::Image, state);
}

void net_setImageRequestOperation(ui::Button& button, std::shared_ptr<NetHTTPRequestOperation> operation,
                                  unsigned state) {
    setSlotOperation(button, Kind::Image, state, operation);
}

std::shared_ptr<NetHTTPRequestOperation> net_backgroundImageRequestOperationForState(const ui::Button& button,
                                                                                     unsigned state) {
    return slotOperation(button, Kind::Background, state);
}

void net_setBackgroundImageRequestOperation(ui::Button& button, std::shared_ptr<NetHTTPRequestOperation> operation,
                                            unsigned state) {
    setSlotOperation(button, Kind::Background, state, operation);
}

std::shared_ptr<NetImageCache> net_buttonSharedImageCache() {
    {
        std::lock_guard lock(cacheMutex);
        if (const auto& cache = classCache()) return cache;
    }
    return net_imageViewSharedImageCache();
}

void net_setButtonSharedImageCache(std::shared_ptr<NetImageCache> cache) {
    std::lock_guard lock(cacheMutex);
    classCache() = std::move(cache);
}

std::shared_ptr<NetURLResponseSerialization> net_imageResponseSerializer(const ui::Button& button) {
    if (auto own = net_associatedObject<NetURLResponseSerialization>(button, &kSerializerKey)) return own;
    static const auto* shared =
        new std::shared_ptr<NetURLResponseSerialization>(NetImageResponseSerializer::serializer());
    return *shared;
}

void net_setImageResponseSerializer(ui::Button& button, std::shared_ptr<NetURLResponseSerialization> serializer) {
    net_setAssociatedObject(button, &kSerializerKey, serializer);
}

void net_setImageForState(const std::shared_ptr<ui::Button>& button, unsigned state, const ns::URL& url,
                          std::shared_ptr<ui::Image> placeholder) {
    load(button, Kind::Image, state, net_imageRequestWithURL(url), std::move(placeholder), {}, {});
}

void net_setImageForState(const std::shared_ptr<ui::Button>& button, unsigned state, const ns::URLRequest& request,
                          std::shared_ptr<ui::Image> placeholder, NetImageSuccessBlock success,
                          NetButtonFailureBlock failure) {
    load(button, Kind::Image, state, request, std::move(placeholder), std::move(success), std::move(failure));
}

void net_setBackgroundImageForState(const std::shared_ptr<ui::Button>& button, unsigned state, const ns::URL& url,
                                    std::shared_ptr<ui::Image> placeholder) {
    load(button, Kind::Background, state, net_imageRequestWithURL(url), std::move(placeholder), {}, {});
}

void net_setBackgroundImageForState(const std::shared_ptr<ui::Button>& button, unsigned state,
                                    const ns::URLRequest& request, std::shared_ptr<ui::Image> placeholder,
                                    NetImageSuccessBlock success, NetButtonFailureBlock failure) {
    load(button, Kind::Background, state, request, std::move(placeholder), std::move(success), std::move(failure));
}

void net_cancelImageRequestOperationForState(ui::Button& button, unsigned state) {
    cancelSlot(button, Kind::Image, state);
}

void net_cancelBackgroundImageRequestOperationForState(ui::Button& button, unsigned state) {
    cancelSlot(button, Kind::Background, state);
}

}  // namespace ql
