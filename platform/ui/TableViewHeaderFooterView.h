#pragma once
// ui::TableViewHeaderFooterView: the view a table shows above or below a section for the section's
// title: a text label in a content view over an optional background view.

#include <memory>
#include <string>

#include "platform/ui/View.h"

namespace ql::ui {

class Label;

class TableViewHeaderFooterView : public View {
    QL_OBJECT_NAMED(TableViewHeaderFooterView, View, "UITableViewHeaderFooterView")
public:
    TableViewHeaderFooterView() : TableViewHeaderFooterView(std::string()) {}
    explicit TableViewHeaderFooterView(std::string reuseIdentifier);

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<View>& contentView() const { return contentView_; }
    // Made on first use and placed in the content view.
    const std::shared_ptr<Label>& textLabel();
    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> view);

    virtual void prepareForReuse() {}
    void layoutSubviews() override;

private:
    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<View> backgroundView_;
};

}  // namespace ql::ui
