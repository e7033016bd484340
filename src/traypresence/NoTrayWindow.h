#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// What Tarvik shows on a desktop without a tray, where its icon and menu cannot appear: a small
// ordinary window that says so, how to get a tray on GNOME, that checks go on meanwhile, and
// offers the hosts window and Quit. It is the one thing of Tarvik the user can see there, so it
// lives in the task bar like any window; closing it leaves Tarvik running.
class NoTrayWindow : public QWidget {
    Q_OBJECT
public:
    explicit NoTrayWindow(QWidget *parent = nullptr);

    QLabel *messageLabel() const { return message_; }
    QPushButton *manageHostsButton() const { return manageHosts_; }
    QPushButton *quitButton() const { return quit_; }

    // Shows the window, or brings it in front of the others when it is already shown.
    void bringForward();

Q_SIGNALS:
    void manageHostsRequested();
    void quitRequested();

private:
    QLabel *message_;
    QPushButton *manageHosts_;
    QPushButton *quit_;
    bool placed_ = false;
};
