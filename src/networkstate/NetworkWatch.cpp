#include "networkstate/NetworkWatch.h"

#include <QNetworkInformation>

namespace {
NetworkWatch::State stateOf(QNetworkInformation::Reachability reachability) {
    switch (reachability) {
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local:
        return NetworkWatch::State::Offline;
    case QNetworkInformation::Reachability::Site:
    case QNetworkInformation::Reachability::Online:
        return NetworkWatch::State::Online;
    case QNetworkInformation::Reachability::Unknown:
        break;
    }
    return NetworkWatch::State::Unknown;
}
} // namespace

NetworkWatch::NetworkWatch(QObject *parent)
    : QObject(parent) {}

NetworkWatch::~NetworkWatch() = default;

bool NetworkWatch::start() {
    if (!QNetworkInformation::instance()) {
        // Without a system bus the networkmanager backend does not load; GLib's monitor reads
        // the routing table instead.
        if (!QNetworkInformation::loadBackendByName(u"networkmanager"))
            QNetworkInformation::loadBackendByName(u"glib");
    }
    QNetworkInformation *information = QNetworkInformation::instance();
    if (!information)
        return false;
    backend_ = information->backendName();
    connect(information, &QNetworkInformation::reachabilityChanged, this, &NetworkWatch::follow);
    state_ = stateOf(information->reachability());
    return true;
}

void NetworkWatch::follow() {
    const QNetworkInformation *information = QNetworkInformation::instance();
    const State state = information ? stateOf(information->reachability()) : State::Unknown;
    if (state == state_)
        return;
    state_ = state;
    Q_EMIT stateChanged(state_);
}
