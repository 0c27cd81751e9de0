#pragma once
// KBKeyboardReturnKeyHandler: takes over the delegates of a screen's text fields and text views so that
// the return key moves the focus to the next field and, on the last one, ends editing. Every delegate
// message is passed on to the handler's own delegate when it takes it. Fields get their return-key type
// and delegate back when removed or when the handler goes.

#include <memory>
#include <vector>

#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"

namespace ql {

class KBKeyboardReturnKeyHandler : public ns::Object, public ui::TextFieldDelegate, public ui::TextViewDelegate {
    QL_OBJECT(KBKeyboardReturnKeyHandler, ns::Object)
public:
    // A handler for the fields inside the controller's view (none without a controller).
    static std::shared_ptr<KBKeyboardReturnKeyHandler> make(ui::ViewController* controller = nullptr);
    // Must be owned by a shared_ptr before it takes fields.
    KBKeyboardReturnKeyHandler() = default;
    ~KBKeyboardReturnKeyHandler() override;

    // Each focusable view inside the view (by position), in turn.
    void addResponderFromView(const ui::View& view);
    void removeResponderFromView(const ui::View& view);
    // Remembers the field's return-key type and delegate and becomes its delegate; a field handled
    // already is left as it is, so its own delegate is the one given back.
    void addTextFieldView(const std::shared_ptr<ui::View>& field);
    // Gives the field its return-key type and delegate back; a field not handled is left alone.
    void removeTextFieldView(const ui::View& field);
    bool handles(const ui::View& field) const;

    // Next on every field but the last of its list, which gets lastTextFieldReturnKeyType.
    void updateReturnKeyTypeOnTextField(ui::View& field);
    // Focuses the next field of the list, or ends editing on the last one (or one not in its list).
    void goToNextResponderOrResign(ui::View& field);

    // Held weakly; takes the text-field and text-view messages it implements the interfaces of.
    std::shared_ptr<ns::Object> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ns::Object> delegate) { delegate_ = std::move(delegate); }
    ui::ReturnKeyType lastTextFieldReturnKeyType() const { return lastTextFieldReturnKeyType_; }
    void setLastTextFieldReturnKeyType(ui::ReturnKeyType type) { lastTextFieldReturnKeyType_ = type; }

    // ---- Text fields ----
    bool textFieldShouldBeginEditing(ui::TextField& field) override;
    void textFieldDidBeginEditing(ui::TextField& field) override;
    bool textFieldShouldEndEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldChangeCharactersInRangeReplacementString(ui::TextField& field, ns::Range range,
                                                                 const std::string& text) override;
    bool textFieldShouldClear(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    // ---- Text views ----
    bool textViewShouldBeginEditing(ui::TextView& view) override;
    bool textViewShouldEndEditing(ui::TextView& view) override;
    void textViewDidBeginEditing(ui::TextView& view) override;
    void textViewDidEndEditing(ui::TextView& view) override;
    bool textViewShouldChangeTextInRangeReplacementText(ui::TextView& view, ns::Range range,
                                                        const std::string& text) override;
    void textViewDidChange(ui::TextView& view) override;
    void textViewDidChangeSelection(ui::TextView& view) override;
    bool textViewShouldInteractWithURLInRange(ui::TextView& view, const ns::URL& url, ns::Range range) override;
    bool textViewShouldInteractWithTextAttachmentInRange(ui::TextView& view, ns::Object& attachment,
                                                         ns::Range range) override;

private:
    struct Entry {
        std::shared_ptr<ui::View> field;
        ui::ReturnKeyType returnKeyType;
        std::shared_ptr<ui::TextFieldDelegate> fieldDelegate;
        std::shared_ptr<ui::TextViewDelegate> viewDelegate;
    };

    void restore(const Entry& entry) const;
    std::vector<std::shared_ptr<ui::View>> fieldList(const ui::View& field) const;
    // The handler's delegate as a text-field (text-view) delegate, kept alive by the pointer.
    std::shared_ptr<ui::TextFieldDelegate> fieldDelegate() const;
    std::shared_ptr<ui::TextViewDelegate> viewDelegate() const;

    std::weak_ptr<ns::Object> delegate_;
    ui::ReturnKeyType lastTextFieldReturnKeyType_ = ui::ReturnKeyType::Default;
    std::vector<Entry> textFieldInfoCache_;
};

}  // namespace ql
