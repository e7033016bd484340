#include "notifications/Notifier.h"

Notifier::Notifier(QObject *parent)
    : QObject(parent) {}

Notifier::~Notifier() = default;
