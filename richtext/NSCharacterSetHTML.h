#pragma once
// The white space that HTML lets a reader collapse or drop: the platform's white space and line ends,
// less the spaces that authors write on purpose (no-break spaces, the fixed-width spaces, the ideographic
// space, the zero-width no-break space). Built once per process.

#include "platform/foundation/CharacterSet.h"

namespace ql {

const ns::CharacterSet& ignorableWhitespaceCharacterSet();

}  // namespace ql
