#pragma once

#include "http/HttpResult.h"

#include <QObject>

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

// Where a client's finished transfers go. The client owns it together with the thread and
// clears `receiver` under the lock when it goes away, so nothing is posted to a dead object.
struct TransferResults {
    std::mutex mutex;
    QObject *receiver = nullptr;   // the client, on its own thread
    std::function<void()> deliver; // run on the receiver's thread to take `finished`
    std::vector<std::pair<quint64, HttpResult>> finished; // by request number
};
