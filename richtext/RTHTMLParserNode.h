#pragma once
// RTHTMLParserNode: one node of the document tree that the rich text import grows while the HTML parser
// reports, and the base of its elements: the tag name, the HTML attributes, the parent (not held) and the
// ordered children (held strongly). A tree belongs to one import, which touches it from one thread at a
// time (its queues hand over synchronously), so nodes take no locks.
//
// A child points at its parent without holding it: the parent lists (and so holds) its children, and a
// parent that goes clears the pointers of the children it listed, so a child kept after its parent reads
// as a root. Finding the parent therefore costs nothing, where a weak reference would take and drop a
// reference every time; a node read on one thread while another drops its parent is no more supported
// than any other use of one tree from two threads at once.
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
    // The same read in place: a text is viewed where it is held, any other value is written into
    // `storage` first. For readers that look at many elements' attributes.
    std::optional<std::string_view> attributeText(std::string_view key, std::string& storage) const;

    // Whether the node is an RTHTMLElement (found without a cast: elements ask for their parent often).
    bool isElement() const { return isElement_; }
    // Nothing at the root, and once the parent is gone (or when no shared_ptr owns it), for a caller that
    // keeps the parent.
    std::shared_ptr<RTHTMLParserNode> parentNode() const;
    // The same, not held: for a caller that holds the node (or its tree) while it looks, which keeps the
    // parent alive.
    RTHTMLParserNode* parent() const { return parent_; }
    // Whether `node` is the parent.
    template <typename Node>
    bool isChildOf(const std::shared_ptr<Node>& node) const {
        return node && parent_ == node.get();
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

    // Taken by value: a node handed over with std::move joins the list without a reference counted on the way.
    void addChildNode(std::shared_ptr<RTHTMLParserNode> child);
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
    // A node listed by two parents (added to a second without leaving the first) belongs to the last.
    void forgetParent(const RTHTMLParserNode& parent) {
        if (parent_ == &parent) parent_ = nullptr;
    }

    std::string name_;
    ns::Dictionary attributes_;
    RTHTMLParserNode* parent_ = nullptr;  // cleared by the parent when it lets the node go
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
