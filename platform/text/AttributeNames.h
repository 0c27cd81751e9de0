#pragma once
// The attribute keys of attributed text that the platform's text layers agree on, with the platform's
// own key texts: the typesetting keys (ct) and the view layer's keys (ui). Paragraph styles travel as
// ct::ParagraphStyleObject, shadows as ct::Shadow, run delegates as ct::RunDelegate. Some key texts
// coincide, as they do on the platform.

#include <string_view>

namespace ql::ct {

inline constexpr std::string_view FontAttributeName = "NSFont";
inline constexpr std::string_view ForegroundColorAttributeName = "CTForegroundColor";
inline constexpr std::string_view ForegroundColorFromContextAttributeName = "CTForegroundColorFromContext";
inline constexpr std::string_view ParagraphStyleAttributeName = "NSParagraphStyle";
inline constexpr std::string_view RunDelegateAttributeName = "CTRunDelegate";
inline constexpr std::string_view UnderlineStyleAttributeName = "NSUnderline";
inline constexpr std::string_view SuperscriptAttributeName = "NSSuperScript";
inline constexpr std::string_view KernAttributeName = "NSKern";

}  // namespace ql::ct

namespace ql::ui {

inline constexpr std::string_view FontAttributeName = "NSFont";
inline constexpr std::string_view ForegroundColorAttributeName = "NSColor";
inline constexpr std::string_view BackgroundColorAttributeName = "NSBackgroundColor";
inline constexpr std::string_view ParagraphStyleAttributeName = "NSParagraphStyle";
inline constexpr std::string_view AttachmentAttributeName = "NSAttachment";
inline constexpr std::string_view LinkAttributeName = "NSLink";
inline constexpr std::string_view ShadowAttributeName = "NSShadow";
inline constexpr std::string_view KernAttributeName = "NSKern";
inline constexpr std::string_view StrikethroughStyleAttributeName = "NSStrikethrough";
inline constexpr std::string_view UnderlineStyleAttributeName = "NSUnderline";

}  // namespace ql::ui
