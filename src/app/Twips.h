#pragma once

#include <QRect>
#include <QtGlobal>

// A rectangle in twips (1/1440 inch), the unit the pane layout is worked out in.
struct TwipRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width; }
    int bottom() const { return top + height; }

    friend bool operator==(const TwipRect &, const TwipRect &) = default;
};

namespace Twips {

constexpr int PerInch = 1440;

// pixels = twips × dpi / 1440, rounded to the nearest pixel.
inline int toPixels(int twips, qreal dpi)
{
    return qRound(twips * dpi / PerInch);
}

inline int fromPixels(int pixels, qreal dpi)
{
    return dpi > 0 ? qRound(pixels * qreal(PerInch) / dpi) : 0;
}

// Converts the edges, not the sizes, so that controls that touch in twips still touch in pixels.
inline QRect toPixels(const TwipRect &r, qreal dpi)
{
    const int left = toPixels(r.left, dpi);
    const int top = toPixels(r.top, dpi);
    return QRect(left, top, toPixels(r.right(), dpi) - left, toPixels(r.bottom(), dpi) - top);
}

} // namespace Twips
