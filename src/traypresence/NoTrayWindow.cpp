#include "traypresence/NoTrayWindow.h"

#include "drawing/NamedImages.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

NoTrayWindow::NoTrayWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , message_(new QLabel(this))
    , manageHosts_(new QPushButton(QStringLiteral("Manage Hosts"), this))
    , quit_(new QPushButton(QStringLiteral("Quit"), this)) {
    setWindowTitle(QStringLiteral("Tarvik"));
    setWindowIcon(NamedImages::icon(QStringLiteral("menubarIcon")));

    auto *heading = new QLabel(QStringLiteral("Tarvik has no tray to show its icon in"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setTextFormat(Qt::PlainText);

    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->setText(QStringLiteral(
        "Tarvik lives in the system tray, and this desktop shows none, so its icon and menu "
        "cannot appear.\n\n"
        "On GNOME, the \u201cAppIndicator and KStatusNotifierItem Support\u201d extension adds "
        "one. Once a tray appears, Tarvik's icon shows there and this window closes by itself.\n\n"
        "Tarvik goes on checking your hosts meanwhile. Starting Tarvik again brings this window "
        "back."));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(manageHosts_);
    buttons->addStretch(1);
    buttons->addWidget(quit_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(message_);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    manageHosts_->setDefault(true);

    connect(manageHosts_, &QPushButton::clicked, this, &NoTrayWindow::manageHostsRequested);
    connect(quit_, &QPushButton::clicked, this, &NoTrayWindow::quitRequested);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    // The text wraps to the width; the height follows from it.
    setFixedWidth(380);
    adjustSize();
}

void NoTrayWindow::bringForward() {
    // In the middle of the screen the first time; where the user left it after that.
    if (!placed_) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), size());
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
}
