#include "trayitem/StatusItemButton.h"

void StatusItemButton::setImage(const QIcon &image) {
    image_ = image;
    Q_EMIT changed();
}

void StatusItemButton::setImagePosition(ImagePosition position) {
    imagePosition_ = position;
    Q_EMIT changed();
}

void StatusItemButton::setImageScaling(ImageScaling scaling) {
    imageScaling_ = scaling;
    Q_EMIT changed();
}

void StatusItemButton::setImageHugsTitle(bool hugs) {
    imageHugsTitle_ = hugs;
    Q_EMIT changed();
}

void StatusItemButton::setAttributedTitle(const std::optional<AttributedText> &title) {
    title_ = title;
    Q_EMIT changed();
}

void StatusItemButton::setToolTip(const QString &text) {
    toolTip_ = text;
    Q_EMIT changed();
}

void StatusItemButton::performClick() {
    Q_EMIT clicked();
    if (action_)
        action_();
}

std::optional<QRect> StatusItemButton::windowFrame() const {
    return frameSource_ ? frameSource_() : std::nullopt;
}
