#include "windows/TRHostsWindow.h"

#include "drawing/NamedImages.h"
#include "windows/HostsTableView.h"
#include "windows/TRHostsWindowController.h"

#include <QApplication>
#include <QPainter>
#include <QShortcut>
#include <QToolButton>

TRHostsWindow::TRHostsWindow(StatusItemButton *statusBarButton, QWidget *parent)
    : LMUtilityWindow(statusBarButton, QStringLiteral("Hosts"), QSizeF(140, 160), parent)
    , line_(new QWidget(utilityView()))
    , table_(new HostsTableView(utilityView())) {
    const qreal w = 140;
    const qreal h = 160;

    paintAsHairline(line_);
    setFrame(line_, QRectF(0, 20, utilityView()->width(), 1));

    // The table reaches 22 points above the content view, under the title strip; the top
    // margin keeps its rows out of that strip.
    setFrame(table_, QRectF(0, frameOf(line_).bottom(), w, h - 21));
    table_->setViewportMargins(0, 22, 0, 2);

    addButton_ = makeButton(QStringLiteral("LMAdd"), 0);
    removeButton_ = makeButton(QStringLiteral("LMRemove"), frameOf(addButton_).right());
    editButton_ = makeButton(QStringLiteral("LMEdit"), w - 20);
    connect(addButton_, &QToolButton::clicked, this, [this] {
        if (target_)
            target_->add();
    });
    connect(removeButton_, &QToolButton::clicked, this, [this] {
        if (target_)
            target_->remove();
    });
    connect(editButton_, &QToolButton::clicked, this, [this] {
        if (target_)
            target_->edit();
    });
    // Delete removes the selected host, as the remove button does.
    auto *remove = new QShortcut(QKeySequence::Delete, this);
    connect(remove, &QShortcut::activated, this, [this] {
        if (target_)
            target_->remove();
    });
}

void TRHostsWindow::setController(TRHostsWindowController *controller) {
    controller_ = controller;
    if (controller)
        target_ = controller;
}

QToolButton *TRHostsWindow::makeButton(const QString &imageName, qreal x) {
    auto *button = new QToolButton(utilityView());
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(16, 16));
    button->setIcon(buttonImage(imageName));
    button->setFixedSize(20, 20);
    setFrame(button, QRectF(x, 0, 20, 20));
    return button;
}

QIcon TRHostsWindow::buttonImage(const QString &name) {
    const QIcon source = NamedImages::icon(name);
    const QSize natural = NamedImages::naturalSize(name);
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QImage image(QSize(16, 16) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(16.0 * ratio / natural.width(), 16.0 * ratio / natural.height());
        source.paint(&painter, QRect(QPoint(0, 0), natural));
        // A template image: only its shape counts; it takes the label colour.
        painter.resetTransform();
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), QApplication::palette().color(QPalette::WindowText));
    }
    image.setDevicePixelRatio(ratio);
    return QIcon(QPixmap::fromImage(image));
}
