// Colours of the class library: 0x00BBGGRR, or a system colour as
// 0xFF000000 | its index, resolved by gdi's system-colour scheme
// (ColorToRGB, canvas.h). The one vocabulary of ui and gdi.
#pragma once
#include <cstdint>

namespace gdi {

using TColor = std::int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000);
// System colour indexes.
constexpr int COLOR_WINDOW = 5, COLOR_WINDOWTEXT = 8, COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14,
              COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16, COLOR_BTNHIGHLIGHT = 20;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clNavy = 0x800000,
                 clGray = 0x808080, clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00,
                 clBlue = 0xFF0000, clWhite = 0xFFFFFF, clNone = 0x1FFFFFFF,
                 clWindow = clSystemColor | COLOR_WINDOW, clBtnFace = clSystemColor | COLOR_BTNFACE,
                 clWindowText = clSystemColor | COLOR_WINDOWTEXT,
                 clBtnShadow = clSystemColor | COLOR_BTNSHADOW,
                 clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT,
                 // Selected items: navy with white text.
                 clHighlight = clSystemColor | COLOR_HIGHLIGHT,
                 clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;

// True for a system colour; its index is the low byte.
constexpr bool IsSystemColor(TColor c) { return c < 0; }

}  // namespace gdi
