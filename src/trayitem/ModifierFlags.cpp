#include "trayitem/ModifierFlags.h"

#include <QGuiApplication>

std::uint64_t ModifierFlags::fromQt(Qt::KeyboardModifiers modifiers) {
#ifdef Q_OS_MACOS
    // Qt reports the Command key as Control on macOS, and Control as Meta.
    constexpr Qt::KeyboardModifier controlKey = Qt::MetaModifier;
    constexpr Qt::KeyboardModifier commandKey = Qt::ControlModifier;
#else
    constexpr Qt::KeyboardModifier controlKey = Qt::ControlModifier;
    constexpr Qt::KeyboardModifier commandKey = Qt::MetaModifier;
#endif
    std::uint64_t flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= shift;
    if (modifiers & controlKey)
        flags |= control;
    if (modifiers & Qt::AltModifier)
        flags |= option;
    if (modifiers & commandKey)
        flags |= command;
    if (modifiers & Qt::KeypadModifier)
        flags |= numericPad;
    return flags;
}

std::uint64_t ModifierFlags::current() {
    return fromQt(QGuiApplication::queryKeyboardModifiers());
}
