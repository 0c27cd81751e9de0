#include "richtext/RTHTMLParserNode.h"

#include <algorithm>

namespace ql {

// Virtual dispatch would not reach subclasses from here: they apply their own reading of the attributes
// in their constructors.
RTHTMLParserNode::RTHTMLParserNode(std::string_view name, ns::Dictionary attributes)
    : name_(name), attributes_(std::move(attributes)) {}

// Children are let go one generation at a time, so a deep tree is not freed by deep recursion. Each one
// forgets its parent first: a child kept elsewhere would otherwise point at a node that is gone.
RTHTMLParserNode::~RTHTMLParserNode() {
    if (!children_) return;
    ChildList pending = std::move(*children_);
    for (const auto& child : pending) child->forgetParent(*this);
    while (!pending.empty()) {
        std::shared_ptr<RTHTMLParserNode> node = std::move(pending.back());
        pending.pop_back();
        if (node.use_count() == 1 && node->children_) {
            for (auto& child : *node->children_) {
                child->forgetParent(*node);
                pending.push_back(std::move(child));
            }
            node->children_.reset();
        }
    }
}

void RTHTMLParserNode::setAttributes(const ns::Dictionary& attributes) { attributes_ = attributes; }

std::optional<std::string> RTHTMLParserNode::attributeForKey(std::string_view key) const {
    const ns::Value* value = attributes_.find(key);
    if (!value || value->isNil()) return std::nullopt;
    return value->stringValue();
}

std::optional<std::string_view> RTHTMLParserNode::attributeText(std::string_view key, std::string& storage) const {
    const ns::Value* value = attributes_.find(key);
    if (!value || value->isNil()) return std::nullopt;
    if (value->isString()) return value->asString();
    storage = value->stringValue();
    return std::string_view(storage);
}

std::shared_ptr<RTHTMLParserNode> RTHTMLParserNode::parentNode() const {
    if (!parent_) return nullptr;
    // A parent that no shared_ptr owns (any more) has no reference to give; it reads as none.
    try {
        return std::static_pointer_cast<RTHTMLParserNode>(parent_->shared_from_this());
    } catch (const std::bad_weak_ptr&) {
        return nullptr;
    }
}

std::optional<RTHTMLParserNode::NodeList> RTHTMLParserNode::childNodes() const {
    if (!children_) return std::nullopt;
    return NodeList(children_->begin(), children_->end());
}

std::span<const std::shared_ptr<RTHTMLParserNode>> RTHTMLParserNode::children() const {
    if (!children_) return {};
    return {children_->data(), children_->size()};
}

std::shared_ptr<RTHTMLParserNode> RTHTMLParserNode::lastChild() const {
    return children_ && !children_->empty() ? children_->back() : nullptr;
}

std::shared_ptr<RTHTMLParserNode> RTHTMLParserNode::childNodeAtIndex(std::size_t index) const {
    return children_ && index < children_->size() ? (*children_)[index] : nullptr;
}

void RTHTMLParserNode::addChildNode(std::shared_ptr<RTHTMLParserNode> child) {
    if (!child) return;
    child->parent_ = this;
    if (!children_) {
        // Most elements that have children have a few: room for them in one allocation.
        children_.emplace(RTHTMLNodePool::Allocator<std::shared_ptr<RTHTMLParserNode>>(pool_));
        children_->reserve(4);
    }
    children_->push_back(std::move(child));
    childNodesDidChange();
}

void RTHTMLParserNode::removeChildNode(const std::shared_ptr<RTHTMLParserNode>& child) {
    if (!children_) return;
    // From the back: the import removes children it has just added, so a long child list is not scanned.
    auto found = std::find(children_->rbegin(), children_->rend(), child);
    if (found == children_->rend()) return;
    (*found)->forgetParent(*this);
    children_->erase(std::next(found).base());
    childNodesDidChange();
}

void RTHTMLParserNode::removeAllChildNodes() {
    if (!children_) return;
    ChildList removed = std::move(*children_);
    children_->clear();
    for (const auto& child : removed) child->forgetParent(*this);
    childNodesDidChange();
}

std::string RTHTMLParserNode::description() const {
    return "<" + std::string(className()) + " " + ns::addressText(this) + " name=\"" + name_ + "\">";
}

RTHTMLParserTextNode::RTHTMLParserTextNode(std::string_view characters)
    : RTHTMLParserNode(NodeName, {}), characters_(characters) {}

}  // namespace ql
