#pragma once

#include <QAbstractButton>

// The title strip's close button: a small round button at the top left that hides its window.
class WindowCloseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit WindowCloseButton(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool hovered_ = false;
};
