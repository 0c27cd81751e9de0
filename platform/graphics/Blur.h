#pragma once
// Shadow blur: three passes of a box blur in each direction, which comes close to a Gaussian. Internal to
// the graphics library.

#include <cairo.h>

namespace ql::cg {

// The box radius whose three passes approximate a Gaussian of standard deviation `sigma` (pixels).
int boxBlurRadius(double sigma);
// Blurs an A8 image surface in place.
void boxBlurAlpha(cairo_surface_t* surface, int radius);

}  // namespace ql::cg
