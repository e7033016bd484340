#pragma once

#include <QString>

// One message for the user about hosts that changed state.
struct Notice {
    QString summary;
    QString body;     // plain text; a notifier escapes it where the server reads markup
    bool down = true; // critical and "network.error" when true, normal and "network.connected"
    // What a click on the notice opens, as the label of its default action; none when a click
    // opens nothing.
    QString action;
};
