#pragma once

#include <QString>

#include <optional>

class Host;

// What the form lets the user change of a host, handed to the engine in one piece so that the
// engine knows what the host was before and can say exactly what changed.
struct HostEdit {
    QString address;
    QString name;
    std::optional<QString> abbreviation;
    bool hasMenuBarItem = false;

    // Sets these fields of `host`, and nothing else.
    void applyTo(Host &host) const;
};
