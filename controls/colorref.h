#pragma once

#include <QColor>
#include <cstdint>

// Colours written as 0x00BBGGRR values (red in the lowest byte), the way the
// program's colour constants are given.
constexpr QRgb RgbFromColorRef(std::uint32_t colorRef) {
    return qRgb(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                static_cast<int>((colorRef >> 16) & 0xFF));
}

inline QColor ColorFromColorRef(std::uint32_t colorRef) {
    return QColor::fromRgb(RgbFromColorRef(colorRef));
}
