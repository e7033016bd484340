#pragma once

#include <QAbstractButton>

#include <memory>

class LMItemable;

// The common base of a menu row's three 18 x 18 image buttons. A press is tracked until the
// mouse is released, and the button acts then, wherever the release happens. A release alone
// does nothing: the menu opens on a press on the tray icon, and a drag that ends over a button
// must not remove or pause a host.
class ControlButton : public QAbstractButton {
    Q_OBJECT
public:
    ControlButton(std::shared_ptr<LMItemable> modelObject, QWidget *parent);

    const std::shared_ptr<LMItemable> &modelObject() const { return modelObject_; }
    // Sets a named image.
    void setImageName(const QString &name);
    QString imageName() const { return imageName_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // What the button does once the press is over.
    virtual void act() = 0;

private:
    std::shared_ptr<LMItemable> modelObject_;
    QString imageName_;
    bool pressedHere_ = false;
};
