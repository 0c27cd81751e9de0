#pragma once
// What the web-image tests share: a sandbox for the whole test program (the shared image cache keeps the
// folder it was made with), pumping the main run loop, pictures encoded by the image libraries directly,
// and an image server on 127.0.0.1 that answers ETag revalidation.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/Image.h"
#include "tests/support/LoopbackServer.h"

namespace ql::test {

// One temporary sandbox for the whole test program, installed by this support library.
class WebImageSandbox : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    std::unique_ptr<ns::TemporarySandbox> sandbox_;
};

// Pumps the main run loop until the condition holds, whichever thread makes it true; false on time-out.
bool pumpUntil(const std::function<bool()>& condition, double seconds = 20);
// Runs what the main queue holds now, after the other queues have had a moment to post to it.
void drainMainQueue();
// Waits for the shared cache's I/O queue, then runs what it posted to the main queue.
void settleImageCache();

// Pictures with a colour ramp, straight from libjpeg, libpng and giflib.
std::string jpegBytes(int width, int height, int exifOrientation = 0, bool progressive = false, std::uint8_t tint = 0);
std::string pngBytes(int width, int height, bool alpha);
// A GIF of `frames` solid frames; delays in hundredths, -1 for frames without a control block.
std::string gifBytes(int frames, int delay);
std::shared_ptr<const cg::Image> rampBitmap(int width, int height, bool alpha);

// Serves a picture with an ETag (the picture's version) and "Cache-Control: no-cache", answering a matching
// If-None-Match with 304. The picture can be replaced, which changes the ETag.
class PictureEndpoint {
public:
    PictureEndpoint(LoopbackServer& server, std::string path, std::string bytes, std::string contentType = "image/jpeg");
    void replace(std::string bytes);
    std::string etag() const;
    // How many requests were answered "not modified".
    int notModifiedCount() const;

private:
    struct State {
        std::mutex mutex;
        std::string bytes;
        int version = 1;
        int notModified = 0;
    };
    std::shared_ptr<State> state_;
};

// Counts the notifications of one name posted while it lives.
class NotificationCounter {
public:
    explicit NotificationCounter(std::string_view name);
    ~NotificationCounter();
    int count() const { return count_->load(); }

private:
    std::shared_ptr<std::atomic<int>> count_;
    std::shared_ptr<ns::Object> token_;
};

}  // namespace ql::test
