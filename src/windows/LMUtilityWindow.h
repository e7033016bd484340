#pragma once

#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QWidget>

#include <optional>

class QLabel;
#include "trayitem/StatusItemButton.h"
class WindowCloseButton;

// The base of Tarvik's small windows: fixed size, frameless, above other windows, with a
// self-drawn title strip (close button, centred title, hairline) and one content view for
// subclasses. Every time it is shown it places itself under the tray item it belongs to, or at
// the pointer where the tray does not tell where its items are.
//
// Frames are stated from the bottom left, y upwards; FlippedGeometry turns them into Qt's.
class LMUtilityWindow : public QWidget {
    Q_OBJECT
public:
    LMUtilityWindow(StatusItemButton *statusBarButton, const QString &title, const QSizeF &size,
                    QWidget *parent = nullptr);

    QWidget *titleBarLine() const { return titleBarLine_; }
    QLabel *titleLabel() const { return titleLabel_; }
    QWidget *utilityView() const { return utilityView_; }
    StatusItemButton *statusBarButton() const { return statusBarButton_; }

    // The title drawn in the strip and the one window lists show, both exactly as given.
    void setTitle(const QString &title);

    // Moves to its placement(), then shows, raises and activates the window.
    virtual void makeKeyAndOrderFront();

    // Where a window of `size` goes, in bottom-left screen coordinates: centred under the
    // button's window and 10 points below it, or centred on the mouse with its bottom edge at the
    // pointer. Neither rounded nor clamped to the screen.
    static QPointF anchoredOrigin(const std::optional<QRectF> &buttonWindowFrame,
                                  const QSizeF &size, const QPointF &mouseLocation);

    // Moves a window rectangle (Qt screen coordinates) the least distance that puts it wholly
    // inside `available`, if it fits there at all.
    static QRect fitOnScreen(const QRect &window, const QRect &available);

    // Where a window of `size` goes on a screen whose free area (without panels) is
    // `available`, all in Qt screen coordinates: as anchoredOrigin() says where that fits;
    // above the button when the window would fall off the bottom there (a tray at the bottom of
    // the screen); then moved the least distance into `available`.
    static QRect placement(const std::optional<QRect> &buttonFrame, const QSize &size,
                           const QPoint &mouse, const QRect &available);

    // Fills `view` in the hairline colour, for separators and grid lines.
    static void paintAsHairline(QWidget *view);

    // A child's frame from the bottom left of its parent.
    static QRectF frameOf(const QWidget *view);
    static void setFrame(QWidget *view, const QRectF &frame);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *titleBarLine_;
    QLabel *titleLabel_;
    QWidget *utilityView_;
    QPointer<StatusItemButton> statusBarButton_;
    WindowCloseButton *closeButton_;
};
