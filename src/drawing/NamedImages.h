#pragma once

#include <QIcon>
#include <QString>

// The program's named image resources, drawn in code: "menubarIcon" (the main tray icon), and
// "LMAdd", "LMRemove", "LMEdit", "LMPlay", "LMPause", "LMDetails" for buttons. An unknown name
// gives a null icon.
class NamedImages {
public:
    static QIcon icon(const QString &name);
    // The logical size each image is drawn at; buttons scale it to fit.
    static QSize naturalSize(const QString &name);
};
