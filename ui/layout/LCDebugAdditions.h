#pragma once
// Readable descriptions of every platform layout constraint in the process, naming views and language
// constraints by their debug keys: "<LCLayoutConstraint:edges[0] UIView:0x….left == UIView:0x….left>".
// They take over once the load hook has run (or lc_installConstraintDescriptions was called).

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/ui/LayoutConstraint.h"

namespace ql {

// The shared tables: relation, attribute and priority to their texts.
const std::map<std::int64_t, std::string>& layoutRelationDescriptionsByValue();
const std::map<std::int64_t, std::string>& layoutAttributeDescriptionsByValue();
const std::map<float, std::string>& layoutPriorityDescriptionsByValue();

// "Class:key" for a view or language constraint with a debug key, else "Class:0x…".
std::string lc_descriptionForObject(const ns::Object& object);
std::string lc_constraintDescription(const ui::LayoutConstraint& constraint);

inline constexpr std::string_view kLCDebugAdditionsLoadHookName = "NSLayoutConstraint(LCDebugAdditions)";
// Registers the category-load hook that installs the descriptions.
void lc_registerConstraintDescriptionsLoadHook();
void lc_installConstraintDescriptions();

}  // namespace ql
