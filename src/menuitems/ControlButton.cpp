#include "menuitems/ControlButton.h"

#include "drawing/NamedImages.h"

#include <QMouseEvent>
#include <QPainter>

ControlButton::ControlButton(std::shared_ptr<LMItemable> modelObject, QWidget *parent)
    : QAbstractButton(parent)
    , modelObject_(std::move(modelObject)) {
    setGeometry(0, 1, 18, 18);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
}

void ControlButton::setImageName(const QString &name) {
    imageName_ = name;
    setIcon(NamedImages::icon(name));
    update();
}

void ControlButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (isDown())
        painter.setOpacity(0.6);
    // Proportionally down: the image keeps its shape and never grows past its own size.
    const QSize natural = NamedImages::naturalSize(imageName_).boundedTo(size());
    QRect target(QPoint(0, 0), natural.scaled(size(), Qt::KeepAspectRatio).boundedTo(natural));
    target.moveCenter(rect().center());
    icon().paint(&painter, target);
}

void ControlButton::mousePressEvent(QMouseEvent *event) {
    QAbstractButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        pressedHere_ = true;
}

void ControlButton::mouseReleaseEvent(QMouseEvent *event) {
    QAbstractButton::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !pressedHere_)
        return;
    pressedHere_ = false;
    act();
}
