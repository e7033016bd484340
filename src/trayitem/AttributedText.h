#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

// A text with the font it is drawn in and, optionally, its colour (otherwise the label colour).
struct AttributedText {
    QString text;
    QFont font;
    std::optional<QColor> color;

    // The width the text takes when drawn, in points.
    qreal width() const;
    bool operator==(const AttributedText &other) const = default;
};
