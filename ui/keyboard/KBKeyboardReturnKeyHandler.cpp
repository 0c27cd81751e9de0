#include "ui/keyboard/KBKeyboardReturnKeyHandler.h"

#include <algorithm>

#include "platform/ui/CollectionView.h"
#include "platform/ui/MainThread.h"
#include "platform/ui/TableView.h"
#include "ui/keyboard/KBKeyboardManager.h"
#include "ui/keyboard/KBViewHierarchy.h"

namespace ql {

namespace {

ui::TextInputTraits* traitsOf(ui::View& view) { return dynamic_cast<ui::TextInputTraits*>(&view); }

}  // namespace

std::shared_ptr<KBKeyboardReturnKeyHandler> KBKeyboardReturnKeyHandler::make(ui::ViewController* controller) {
    auto handler = std::make_shared<KBKeyboardReturnKeyHandler>();
    if (controller) handler->addResponderFromView(*controller->view());
    return handler;
}

KBKeyboardReturnKeyHandler::~KBKeyboardReturnKeyHandler() {
    for (const auto& entry : textFieldInfoCache_) restore(entry);
    textFieldInfoCache_.clear();
}

void KBKeyboardReturnKeyHandler::restore(const Entry& entry) const {
    if (auto* traits = traitsOf(*entry.field)) traits->setReturnKeyType(entry.returnKeyType);
    if (auto* field = dynamic_cast<ui::TextField*>(entry.field.get())) field->setDelegate(entry.fieldDelegate);
    if (auto* text = dynamic_cast<ui::TextView*>(entry.field.get())) text->setDelegate(entry.viewDelegate);
}

void KBKeyboardReturnKeyHandler::addResponderFromView(const ui::View& view) {
    for (const auto& field : deepResponderViews(view)) addTextFieldView(field);
}

void KBKeyboardReturnKeyHandler::removeResponderFromView(const ui::View& view) {
    for (const auto& field : deepResponderViews(view)) removeTextFieldView(*field);
}

bool KBKeyboardReturnKeyHandler::handles(const ui::View& field) const {
    return std::any_of(textFieldInfoCache_.begin(), textFieldInfoCache_.end(),
                       [&](const Entry& e) { return e.field.get() == &field; });
}

void KBKeyboardReturnKeyHandler::addTextFieldView(const std::shared_ptr<ui::View>& view) {
    ui::assertMainThread();
    if (!view || handles(*view)) return;
    auto* traits = traitsOf(*view);
    Entry entry{view, traits ? traits->returnKeyType() : ui::ReturnKeyType::Default, nullptr, nullptr};
    auto self = std::static_pointer_cast<KBKeyboardReturnKeyHandler>(shared_from_this());
    if (auto* field = dynamic_cast<ui::TextField*>(view.get())) {
        entry.fieldDelegate = field->delegate();
        field->setDelegate(std::static_pointer_cast<ui::TextFieldDelegate>(self));
    } else if (auto* text = dynamic_cast<ui::TextView*>(view.get())) {
        entry.viewDelegate = text->delegate();
        text->setDelegate(std::static_pointer_cast<ui::TextViewDelegate>(self));
    }
    textFieldInfoCache_.push_back(std::move(entry));
}

void KBKeyboardReturnKeyHandler::removeTextFieldView(const ui::View& field) {
    const auto it = std::find_if(textFieldInfoCache_.begin(), textFieldInfoCache_.end(),
                                 [&](const Entry& e) { return e.field.get() == &field; });
    if (it == textFieldInfoCache_.end()) return;
    restore(*it);
    textFieldInfoCache_.erase(it);
}

std::vector<std::shared_ptr<ui::View>> KBKeyboardReturnKeyHandler::fieldList(const ui::View& field) const {
    if (const auto* table = superviewOfClassType(field, ui::TableView::classObject())) return deepResponderViews(*table);
    if (const auto* collection = superviewOfClassType(field, ui::CollectionView::classObject())) {
        return deepResponderViews(*collection);
    }
    const auto siblings = responderSiblings(field);
    switch (KBKeyboardManager::sharedManager()->toolbarManageBehaviour()) {
        case KBAutoToolbarManageBehaviour::ByTag: return sortedArrayByTag(siblings);
        case KBAutoToolbarManageBehaviour::ByPosition: return sortedArrayByPosition(siblings);
        default: return siblings;
    }
}

void KBKeyboardReturnKeyHandler::updateReturnKeyTypeOnTextField(ui::View& field) {
    auto* traits = traitsOf(field);
    if (!traits) return;
    const auto list = fieldList(field);
    const bool last = !list.empty() && list.back().get() == &field;
    traits->setReturnKeyType(last ? lastTextFieldReturnKeyType_ : ui::ReturnKeyType::Next);
}

void KBKeyboardReturnKeyHandler::goToNextResponderOrResign(ui::View& field) {
    const auto list = fieldList(field);
    const auto it = std::find_if(list.begin(), list.end(), [&](const auto& v) { return v.get() == &field; });
    if (it != list.end() && it + 1 != list.end()) {
        (*(it + 1))->becomeFirstResponder();
    } else {
        field.resignFirstResponder();
    }
}

std::shared_ptr<ui::TextFieldDelegate> KBKeyboardReturnKeyHandler::fieldDelegate() const {
    return std::dynamic_pointer_cast<ui::TextFieldDelegate>(delegate_.lock());
}

std::shared_ptr<ui::TextViewDelegate> KBKeyboardReturnKeyHandler::viewDelegate() const {
    return std::dynamic_pointer_cast<ui::TextViewDelegate>(delegate_.lock());
}

// ---- Text fields ----

bool KBKeyboardReturnKeyHandler::textFieldShouldBeginEditing(ui::TextField& field) {
    const auto d = fieldDelegate();
    return d ? d->textFieldShouldBeginEditing(field) : true;
}

void KBKeyboardReturnKeyHandler::textFieldDidBeginEditing(ui::TextField& field) {
    updateReturnKeyTypeOnTextField(field);
    if (const auto d = fieldDelegate()) d->textFieldDidBeginEditing(field);
}

bool KBKeyboardReturnKeyHandler::textFieldShouldEndEditing(ui::TextField& field) {
    const auto d = fieldDelegate();
    return d ? d->textFieldShouldEndEditing(field) : true;
}

void KBKeyboardReturnKeyHandler::textFieldDidEndEditing(ui::TextField& field) {
    if (const auto d = fieldDelegate()) d->textFieldDidEndEditing(field);
}

bool KBKeyboardReturnKeyHandler::textFieldShouldChangeCharactersInRangeReplacementString(ui::TextField& field,
                                                                                         ns::Range range,
                                                                                         const std::string& text) {
    const auto d = fieldDelegate();
    return d ? d->textFieldShouldChangeCharactersInRangeReplacementString(field, range, text) : true;
}

bool KBKeyboardReturnKeyHandler::textFieldShouldClear(ui::TextField& field) {
    const auto d = fieldDelegate();
    return d ? d->textFieldShouldClear(field) : true;
}

bool KBKeyboardReturnKeyHandler::textFieldShouldReturn(ui::TextField& field) {
    if (const auto d = fieldDelegate(); d && !d->textFieldShouldReturn(field)) return false;
    goToNextResponderOrResign(field);
    return true;
}

// ---- Text views ----

bool KBKeyboardReturnKeyHandler::textViewShouldBeginEditing(ui::TextView& view) {
    const auto d = viewDelegate();
    return d ? d->textViewShouldBeginEditing(view) : true;
}

bool KBKeyboardReturnKeyHandler::textViewShouldEndEditing(ui::TextView& view) {
    const auto d = viewDelegate();
    return d ? d->textViewShouldEndEditing(view) : true;
}

void KBKeyboardReturnKeyHandler::textViewDidBeginEditing(ui::TextView& view) {
    updateReturnKeyTypeOnTextField(view);
    if (const auto d = viewDelegate()) d->textViewDidBeginEditing(view);
}

void KBKeyboardReturnKeyHandler::textViewDidEndEditing(ui::TextView& view) {
    if (const auto d = viewDelegate()) d->textViewDidEndEditing(view);
}

bool KBKeyboardReturnKeyHandler::textViewShouldChangeTextInRangeReplacementText(ui::TextView& view, ns::Range range,
                                                                                const std::string& text) {
    if (const auto d = viewDelegate(); d && !d->textViewShouldChangeTextInRangeReplacementText(view, range, text)) {
        return false;
    }
    if (text == "\n") goToNextResponderOrResign(view);
    return true;
}

void KBKeyboardReturnKeyHandler::textViewDidChange(ui::TextView& view) {
    if (const auto d = viewDelegate()) d->textViewDidChange(view);
}

void KBKeyboardReturnKeyHandler::textViewDidChangeSelection(ui::TextView& view) {
    if (const auto d = viewDelegate()) d->textViewDidChangeSelection(view);
}

bool KBKeyboardReturnKeyHandler::textViewShouldInteractWithURLInRange(ui::TextView& view, const ns::URL& url,
                                                                      ns::Range range) {
    const auto d = viewDelegate();
    return d ? d->textViewShouldInteractWithURLInRange(view, url, range) : true;
}

bool KBKeyboardReturnKeyHandler::textViewShouldInteractWithTextAttachmentInRange(ui::TextView& view,
                                                                                 ns::Object& attachment,
                                                                                 ns::Range range) {
    const auto d = viewDelegate();
    return d ? d->textViewShouldInteractWithTextAttachmentInRange(view, attachment, range) : true;
}

}  // namespace ql
