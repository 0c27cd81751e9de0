#pragma once
// The platform's bar styles, metrics and positions, with its values.

namespace ql::ui {

enum class BarStyle { Default = 0, Black = 1, BlackTranslucent = 2 };
enum class BarMetrics { Default = 0, Compact = 1, DefaultPrompt = 101, CompactPrompt = 102 };
enum class BarPosition { Any = 0, Bottom = 1, Top = 2, TopAttached = 3 };

}  // namespace ql::ui
