#pragma once
// Reference pictures for drawing tests: an analytic picture rendered by supersampling (independent of the
// renderer under test), a tolerant comparison, and a way to look at what a test drew.

#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"

namespace ql::test {

// Each pixel is the average of samples × samples points of `shade` (straight RGBA at a point, pixel centres
// at half-integers, y down), so edges come out antialiased the way a renderer draws them.
std::shared_ptr<const cg::Image> renderReference(int width, int height,
                                                 const std::function<cg::RGBA(double x, double y)>& shade,
                                                 int samples = 8);

struct ImageDifference {
    int differing = 0;     // pixels with a premultiplied channel further apart than the tolerance
    int largestDelta = 0;  // over all pixels and channels, 0 to 255
    bool sameSize = true;
};

ImageDifference compareImages(const cg::Image& actual, const cg::Image& expected, int tolerance);

// Writes the image as <name>.png into $QL_TEST_IMAGE_DIR when that is set; nothing otherwise.
void saveForInspection(const cg::Image& image, const std::string& name);

}  // namespace ql::test
