#pragma once

// The window's layout is drawn in twips, as the dialogs' sizes and places are
// given; this turns them into pixels.

namespace mok {

// Twips of the window design to pixels: 15 twips per pixel.
[[nodiscard]] constexpr int TwipsToPixels(int twips) { return (twips + 7) / 15; }

}  // namespace mok
