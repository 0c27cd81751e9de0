#pragma once
// Shadow and backdrop blur: three passes of a box blur in each direction, which comes close to a Gaussian.
// Internal to the graphics library.

#include <cairo.h>

#include <cstdint>

#include "platform/graphics/Color.h"

namespace ql::cg {

// The box radius whose three passes approximate a Gaussian of standard deviation `sigma` (pixels).
int boxBlurRadius(double sigma);
// Blurs an A8 image surface in place.
void boxBlurAlpha(cairo_surface_t* surface, int radius);
// Premultiplied ARGB words, `width` × `height` of them packed in rows: blurred with the picture's edges
// extended (so that a region blurs only what lies inside it), their saturation multiplied by `saturation`
// (1 keeps it), and `tint` laid over them.
void backdropEffect(std::uint32_t* pixels, int width, int height, int radius, double saturation, const Color& tint);

}  // namespace ql::cg
