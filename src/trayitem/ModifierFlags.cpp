#include "trayitem/ModifierFlags.h"

#include <QGuiApplication>

// Xlib last: its macros (None, Bool, Status...) would clash with Qt's names.
#include <X11/XKBlib.h>

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

std::uint64_t ModifierFlags::read(Qt::KeyboardModifiers held, _XDisplay *display) {
    std::uint64_t flags = fromQt(held);
    XkbStateRec state{};
    if (display && XkbGetState(display, XkbUseCoreKbd, &state) == Success &&
        (state.locked_mods & LockMask))
        flags |= capsLock;
    return flags;
}

std::uint64_t ModifierFlags::current() {
    Display *display = nullptr;
    if (const auto *x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        display = x11->display();
    return read(QGuiApplication::queryKeyboardModifiers(), display);
}
