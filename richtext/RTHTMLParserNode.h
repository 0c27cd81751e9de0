#pragma once
// RTHTMLParserNode: one node of the document tree that the rich text import grows while the HTML parser
// reports, and the base of its elements: the tag name, the HTML attributes, the parent (held weakly) and
// the ordered children (held strongly). A tree belongs to one import, which touches it from one thread at
// a time (its queues hand over synchronously), so nodes take no locks.
// RTHTMLParserTextNode holds raw text (the contents of style elements); it stays in the tree and is
// never output as text.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Object.h"
#include "platform/foundation/Value.h"
#include "richtext/RTHTMLNodePool.h"

namespace ql {

class RTHTMLParserNode : public ns::Object {
    QL_OBJECT(RTHTMLParserNode, ns::Object)
public:
    using NodeList = std::vector<std::shared_ptr<RTHTMLParserNode>>;

    RTHTMLParserNode(std::string_view name, ns::Dictionary attributes);
    ~RTHTMLParserNode() override;

    const std::string& name() const { return name_; }
    void setName(std::string_view name) { name_ = name; }
    const ns::Dictionary& attributes() const { return attributes_; }
    // Subclasses derive state from the attributes here; they call the base first.
    virtual void setAttributes(const ns::Dictionary& attributes);
    // The attribute's text; nothing when absent.
    std::optional<std::string> attributeForKey(std::string_view key) const;

    // Whether the node is an RTHTMLElement (found without a cast: elements ask for their parent often).
    bool isElement() const { return isElement_; }
    // Nothing at the root, and once the parent is gone.
    std::shared_ptr<RTHTMLParserNode> parentNode() const { return std::static_pointer_cast<RTHTMLParserNode>(parent_.lock()); }
    void setParentNode(const std::shared_ptr<RTHTMLParserNode>& parent) { parent_ = parent; }
    // Whether `node` is the parent, found without taking a reference to it.
    template <typename Node>
    bool isChildOf(const std::shared_ptr<Node>& node) const {
        return node && !parent_.owner_before(node) && !node.owner_before(parent_) && !parent_.expired();
    }

    // A snapshot of the children, in order; nothing until the first child is added.
    std::optional<NodeList> childNodes() const;
    // The children in place (none until the first is added), for walks that copy nothing. Adding or
    // removing a child ends the view.
    std::span<const std::shared_ptr<RTHTMLParserNode>> children() const;
    std::size_t childCount() const { return children_ ? children_->size() : 0; }
    // Whether a child was ever added: removing the children keeps an empty list.
    bool hasChildList() const { return children_.has_value(); }
    std::shared_ptr<RTHTMLParserNode> lastChild() const;
    // nullptr past the end.
    std::shared_ptr<RTHTMLParserNode> childNodeAtIndex(std::size_t index) const;

    // The node must be owned by a shared_ptr: the child keeps a weak reference to it.
    void addChildNode(const std::shared_ptr<RTHTMLParserNode>& child);
    void removeChildNode(const std::shared_ptr<RTHTMLParserNode>& child);
    void removeAllChildNodes();

    std::string description() const override;

    // Set by makePooledNode: the node's child list comes from the pool that the node itself does, which
    // it therefore outlives.
    void setNodePool(RTHTMLNodePool* pool) { pool_ = pool; }

protected:
    // Set by RTHTMLElement's constructor.
    void setIsElement() { isElement_ = true; }
    // After every change of the child list.
    virtual void childNodesDidChange() {}

private:
    std::string name_;
    ns::Dictionary attributes_;
    std::weak_ptr<ns::Object> parent_;  // an RTHTMLParserNode
    using ChildList = std::vector<std::shared_ptr<RTHTMLParserNode>, RTHTMLNodePool::Allocator<std::shared_ptr<RTHTMLParserNode>>>;
    std::optional<ChildList> children_;
    RTHTMLNodePool* pool_ = nullptr;
    bool isElement_ = false;
};

class RTHTMLParserTextNode final : public RTHTMLParserNode {
    QL_OBJECT(RTHTMLParserTextNode, RTHTMLParserNode)
public:
    static constexpr std::string_view NodeName = "#TEXT#";

    explicit RTHTMLParserTextNode(std::string_view characters);

    const std::string& characters() const { return characters_; }

private:
    std::string characters_;
};

}  // namespace ql
