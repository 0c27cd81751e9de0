#pragma once
// ui::Button: a control showing a title, an image and a background image, each chosen per control state
// (a state without a value of its own uses the normal state's). Custom buttons draw their images darker
// while highlighted; system buttons tint their title and images with the tint colour and fade them while
// highlighted. The content is placed by the alignments and the content, title and image edge insets.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/ui/Control.h"

namespace ql::ui {

class Color;
class Image;
class ImageView;
class Label;

enum class ButtonType { Custom = 0, System = 1, DetailDisclosure = 2, InfoLight = 3, InfoDark = 4, ContactAdd = 5 };
inline constexpr ButtonType ButtonTypeRoundedRect = ButtonType::System;

class Button : public Control {
    QL_OBJECT_NAMED(Button, Control, "UIButton")
public:
    Button() : Button(cg::Rect::zero()) {}
    explicit Button(const cg::Rect& frame, ButtonType type = ButtonType::Custom);
    static std::shared_ptr<Button> buttonWithType(ButtonType type);

    ButtonType buttonType() const { return type_; }

    void setTitle(std::optional<std::string> title, unsigned state);
    std::optional<std::string> titleForState(unsigned state) const;
    void setTitleColor(std::shared_ptr<Color> color, unsigned state);
    std::shared_ptr<Color> titleColorForState(unsigned state) const;
    void setTitleShadowColor(std::shared_ptr<Color> color, unsigned state);
    std::shared_ptr<Color> titleShadowColorForState(unsigned state) const;
    void setImage(std::shared_ptr<Image> image, unsigned state);
    std::shared_ptr<Image> imageForState(unsigned state) const;
    void setBackgroundImage(std::shared_ptr<Image> image, unsigned state);
    std::shared_ptr<Image> backgroundImageForState(unsigned state) const;

    std::optional<std::string> currentTitle() const { return titleForState(state()); }
    std::shared_ptr<Color> currentTitleColor() const { return titleColorForState(state()); }
    std::shared_ptr<Color> currentTitleShadowColor() const { return titleShadowColorForState(state()); }
    std::shared_ptr<Image> currentImage() const { return imageForState(state()); }
    std::shared_ptr<Image> currentBackgroundImage() const { return backgroundImageForState(state()); }

    // Made on first use; the button sets their text, colours and images from its state.
    const std::shared_ptr<Label>& titleLabel();
    const std::shared_ptr<ImageView>& imageView();

    const cg::EdgeInsets& contentEdgeInsets() const { return contentEdgeInsets_; }
    void setContentEdgeInsets(const cg::EdgeInsets& insets);
    const cg::EdgeInsets& titleEdgeInsets() const { return titleEdgeInsets_; }
    void setTitleEdgeInsets(const cg::EdgeInsets& insets);
    const cg::EdgeInsets& imageEdgeInsets() const { return imageEdgeInsets_; }
    void setImageEdgeInsets(const cg::EdgeInsets& insets);

    bool adjustsImageWhenHighlighted() const { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool adjusts);
    bool adjustsImageWhenDisabled() const { return adjustsImageWhenDisabled_; }
    void setAdjustsImageWhenDisabled(bool adjusts);
    bool showsTouchWhenHighlighted() const { return showsTouchWhenHighlighted_; }
    void setShowsTouchWhenHighlighted(bool shows) { showsTouchWhenHighlighted_ = shows; }
    bool reversesTitleShadowWhenHighlighted() const { return reversesTitleShadow_; }
    void setReversesTitleShadowWhenHighlighted(bool reverses);

    virtual cg::Rect backgroundRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect contentRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect titleRectForContentRect(const cg::Rect& contentRect) const;
    virtual cg::Rect imageRectForContentRect(const cg::Rect& contentRect) const;

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    void layoutSubviews() override;
    void tintColorDidChange() override;

    std::string description() const override;

protected:
    void stateDidChange() override;

private:
    enum class Look { Darker, Faded, Tinted, TintedFaded };

    template <class T>
    static T lookup(const std::map<unsigned, T>& values, unsigned state);
    cg::Size titleSize() const;
    cg::Size imageSize() const;
    std::pair<cg::Rect, cg::Rect> placeContent(const cg::Rect& contentRect) const;
    std::shared_ptr<Image> shownImage(const std::shared_ptr<Image>& image, bool explicitForState) const;
    std::shared_ptr<Image> derived(const std::shared_ptr<Image>& image, Look look) const;
    void contentChanged();

    ButtonType type_;
    std::map<unsigned, std::optional<std::string>> titles_;
    std::map<unsigned, std::shared_ptr<Color>> titleColors_;
    std::map<unsigned, std::shared_ptr<Color>> titleShadowColors_;
    std::map<unsigned, std::shared_ptr<Image>> images_;
    std::map<unsigned, std::shared_ptr<Image>> backgroundImages_;
    std::shared_ptr<Label> titleLabel_;
    std::shared_ptr<ImageView> imageView_;
    std::shared_ptr<ImageView> backgroundView_;
    cg::EdgeInsets contentEdgeInsets_;
    cg::EdgeInsets titleEdgeInsets_;
    cg::EdgeInsets imageEdgeInsets_;
    bool adjustsImageWhenHighlighted_ = true;
    bool adjustsImageWhenDisabled_ = true;
    bool showsTouchWhenHighlighted_ = false;
    bool reversesTitleShadow_ = false;
    // The title's shadow offset while it is shown reversed.
    std::optional<cg::Size> unreversedShadow_;
    // Darkened, faded and tinted versions of the images, made once per image and look.
    mutable std::map<std::pair<const Image*, Look>, std::shared_ptr<Image>> derived_;
};

}  // namespace ql::ui
