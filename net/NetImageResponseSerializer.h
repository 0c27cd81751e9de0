#pragma once
// NetImageResponseSerializer: accepts image replies and decodes their body into an image at the screen's
// scale. It can also redraw the decoded bitmap once ("inflate" it) on the processing queue, so that
// drawing on the main thread finds it ready; very large and deep images are left as decoded.

#include <memory>
#include <optional>

#include "net/NetHTTPResponseSerializer.h"
#include "platform/foundation/Data.h"
#include "platform/ui/Image.h"

namespace ql {

class NetImageResponseSerializer : public NetHTTPResponseSerializer {
    QL_OBJECT(NetImageResponseSerializer, NetHTTPResponseSerializer)
public:
    NetImageResponseSerializer();
    static std::shared_ptr<NetImageResponseSerializer> serializer();

    double imageScale() const { return imageScale_; }
    void setImageScale(double scale) { imageScale_ = scale; }
    bool automaticallyInflatesResponseImage() const { return automaticallyInflatesResponseImage_; }
    void setAutomaticallyInflatesResponseImage(bool inflates) { automaticallyInflatesResponseImage_ = inflates; }

    // The image (a ui::Image object); nil without a body, and nil with the −1016 decoding error when the
    // body is no image.
    ns::Value responseObjectForResponse(const std::shared_ptr<ns::URLResponse>& response,
                                        const std::optional<ns::Data>& data,
                                        std::optional<ns::Error>* error) const override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    // A new serializer with this one's scale and switch; status codes and MIME types are the defaults.
    std::shared_ptr<ns::Object> copy() const override;

private:
    double imageScale_;
    bool automaticallyInflatesResponseImage_ = true;
};

// Decodes one image at a time in the whole process, under one lock. Animated GIF data gives an animated
// image with all its frames.
std::shared_ptr<ui::Image> net_safeImageWithData(const ns::Data& data);
// The decoded image at `scale`; an animated image as decoded.
std::shared_ptr<ui::Image> NetImageFromDataAtScale(const ns::Data& data, double scale);
// The decoded image, redrawn into a fresh bitmap unless it is animated, larger than 1024 × 1024 pixels or
// deeper than 8 bits per component. PNG and JPEG replies are decoded by their MIME type first; a CMYK JPEG
// is not redrawn that way.
std::shared_ptr<ui::Image> NetInflatedImageFromData(const std::shared_ptr<ns::URLResponse>& response,
                                                    const std::optional<ns::Data>& data, double scale);

}  // namespace ql
