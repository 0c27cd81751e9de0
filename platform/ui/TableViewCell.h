#pragma once
// ui::TableViewCell: one row of a table. Its content view holds what the row shows (in the standard
// styles a text label, a detail label and an image view, laid out as the platform lays them out); an
// accessory sits to the right of it, a separator line along the bottom, and a background behind that
// changes while the row is highlighted or selected. Cells are reused: a table hands a cell that left the
// screen back out, after prepareForReuse, for another row with the same reuse identifier.

#include <functional>
#include <memory>
#include <string>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/ui/View.h"

namespace ql::ui {

class ImageView;
class Label;

enum class TableViewCellStyle { Default = 0, Value1 = 1, Value2 = 2, Subtitle = 3 };
enum class TableViewCellSelectionStyle { None = 0, Blue = 1, Gray = 2, Default = 3 };
enum class TableViewCellAccessoryType {
    None = 0,
    DisclosureIndicator = 1,
    DetailDisclosureButton = 2,
    Checkmark = 3,
    DetailButton = 4,
};
enum class TableViewCellSeparatorStyle { None = 0, SingleLine = 1, SingleLineEtched = 2 };

class TableViewCell : public View {
    QL_OBJECT_NAMED(TableViewCell, View, "UITableViewCell")
public:
    // The content's margin on either side, where the standard labels and the separator start.
    static constexpr double kMargin = 15;

    TableViewCell() : TableViewCell(TableViewCellStyle::Default, {}) {}
    TableViewCell(TableViewCellStyle style, std::string reuseIdentifier);
    // The platform's initWithFrame: the default style without a reuse identifier.
    explicit TableViewCell(const cg::Rect& frame);

    TableViewCellStyle style() const { return style_; }
    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<View>& contentView() const { return contentView_; }

    // Made on first use and placed in the content view. The detail label exists in the styles that show
    // one and is null in the default style.
    const std::shared_ptr<Label>& textLabel();
    std::shared_ptr<Label> detailTextLabel();
    const std::shared_ptr<ImageView>& imageView();

    // Behind the content; the selected background replaces the background while the row is highlighted
    // or selected (a light grey one is made unless the selection style is none).
    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> view);
    std::shared_ptr<View> selectedBackgroundView();
    void setSelectedBackgroundView(std::shared_ptr<View> view);

    // A custom accessory view takes the place of the standard accessory.
    TableViewCellAccessoryType accessoryType() const { return accessoryType_; }
    void setAccessoryType(TableViewCellAccessoryType type);
    const std::shared_ptr<View>& accessoryView() const { return accessoryView_; }
    void setAccessoryView(std::shared_ptr<View> view);
    // What the accessory takes from the width of the content view.
    double accessoryWidth() const;
    static double accessoryWidth(TableViewCellAccessoryType type);

    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle style);
    bool isSelected() const { return selected_; }
    void setSelected(bool selected) { setSelected(selected, false); }
    virtual void setSelected(bool selected, bool animated);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { setHighlighted(highlighted, false); }
    virtual void setHighlighted(bool highlighted, bool animated);

    // Called by the table just before it hands the cell out again; the base clears the highlight and the
    // selection.
    virtual void prepareForReuse();

    void layoutSubviews() override;

protected:
    // The frame of the content view within the cell: the width left by the accessory, the height left by
    // the separator.
    cg::Rect contentFrame() const;

private:
    friend class TableView;
    class Accessory;

    // Set by the table that shows the cell.
    void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
    void setSeparator(TableViewCellSeparatorStyle style, const cg::Color& color, const cg::EdgeInsets& insets);
    void setAccessoryAction(std::function<void()> action);
    void showSelection();
    void layoutLabels(const cg::Rect& content);

    TableViewCellStyle style_;
    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_;
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<Label> detailTextLabel_;
    std::shared_ptr<ImageView> imageView_;
    std::shared_ptr<View> backgroundView_;
    std::shared_ptr<View> selectedBackgroundView_;
    TableViewCellAccessoryType accessoryType_ = TableViewCellAccessoryType::None;
    std::shared_ptr<View> accessoryView_;
    std::shared_ptr<Accessory> standardAccessory_;
    std::function<void()> accessoryAction_;
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::Default;
    bool selected_ = false;
    bool highlighted_ = false;
    TableViewCellSeparatorStyle separatorStyle_ = TableViewCellSeparatorStyle::None;
    cg::EdgeInsets separatorInsets_;
    cg::Color separatorColor_ = cg::Color::gray(0, 0);
    std::shared_ptr<View> separator_;
};

}  // namespace ql::ui
