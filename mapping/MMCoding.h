#pragma once
// Keyed archiving of any model object, property by property, so that a model adopts ns::Coding in two
// lines:
//   void encodeWithCoder(ns::KeyedArchiver& coder) const override { mm_encode(*this, coder); }
//   bool initWithCoder(ns::KeyedUnarchiver& coder) override { mm_decode(*this, coder); return true; }
// The class's allowed and ignored coding names (MMClass.h) choose the properties.

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Object.h"

namespace ql {

// Writes each eligible property that has a value under the property's name (scalars as numbers).
void mm_encode(const ns::Object& object, ns::KeyedArchiver& coder);
// Reads each eligible property back, from its name or else from "_" and its name; properties the archive
// does not hold stay as they are.
void mm_decode(ns::Object& object, ns::KeyedUnarchiver& coder);

}  // namespace ql
