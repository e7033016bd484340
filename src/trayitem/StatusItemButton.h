#pragma once

#include "trayitem/AttributedText.h"

#include <QIcon>
#include <QObject>
#include <QRect>

#include <functional>
#include <optional>

// The clickable face of a tray item: what it shows (image, title, tooltip) and what a click does.
// The tray offers one square slot, so StatusItem draws these into one icon.
class StatusItemButton : public QObject {
    Q_OBJECT
public:
    enum class ImagePosition { ImageOnly, ImageLeft, ImageBelow };
    enum class ImageScaling { ProportionallyDown, AxesIndependently };
    using Action = std::function<void()>;

    explicit StatusItemButton(QObject *parent = nullptr)
        : QObject(parent) {}

    QIcon image() const { return image_; }
    void setImage(const QIcon &image);
    ImagePosition imagePosition() const { return imagePosition_; }
    void setImagePosition(ImagePosition position);
    ImageScaling imageScaling() const { return imageScaling_; }
    void setImageScaling(ImageScaling scaling);
    bool imageHugsTitle() const { return imageHugsTitle_; }
    void setImageHugsTitle(bool hugs);

    std::optional<AttributedText> attributedTitle() const { return title_; }
    void setAttributedTitle(const std::optional<AttributedText> &title);
    // Plain text only: trays show tooltips as given.
    QString toolTip() const { return toolTip_; }
    void setToolTip(const QString &text);

    // The click action; it holds whatever target it needs (never owning it).
    void setAction(Action action) { action_ = std::move(action); }
    bool hasAction() const { return bool(action_); }
    // Runs the click action as a click on the item would.
    void performClick();

    // Where the item sits on screen (Qt coordinates), when the tray tells; trays that export
    // their items over D-Bus never do.
    std::optional<QRect> windowFrame() const;
    void setWindowFrameSource(std::function<std::optional<QRect>()> source) {
        frameSource_ = std::move(source);
    }

Q_SIGNALS:
    void changed();
    void clicked();

private:
    QIcon image_;
    ImagePosition imagePosition_ = ImagePosition::ImageLeft;
    ImageScaling imageScaling_ = ImageScaling::ProportionallyDown;
    bool imageHugsTitle_ = false;
    std::optional<AttributedText> title_;
    QString toolTip_;
    Action action_;
    std::function<std::optional<QRect>()> frameSource_;
};
