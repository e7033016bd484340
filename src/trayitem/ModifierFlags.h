#pragma once

#include <Qt>

#include <cstdint>

struct _XDisplay; // Xlib's Display

// Keyboard modifiers as one set of flag bits, compared whole: a gesture meant for Control alone
// must not fire for Control with Shift. The bit values are the ones the tray gestures were
// defined with.
class ModifierFlags {
public:
    static constexpr std::uint64_t capsLock = 0x10000;
    static constexpr std::uint64_t shift = 0x20000;
    static constexpr std::uint64_t control = 0x40000;
    static constexpr std::uint64_t option = 0x80000;   // Alt
    static constexpr std::uint64_t command = 0x100000; // Super / Meta
    static constexpr std::uint64_t numericPad = 0x200000;

    static std::uint64_t fromQt(Qt::KeyboardModifiers modifiers);
    // The keys `held`, plus Caps Lock when the X server behind `display` reports it locked.
    // Qt's modifiers leave the lock out, so a Ctrl+click with Caps Lock on would pass for Ctrl
    // alone. Without a display (other window systems) the keys held are all there is.
    static std::uint64_t read(Qt::KeyboardModifiers held, _XDisplay *display);
    // The modifiers held right now, read from the window system.
    static std::uint64_t current();
};
