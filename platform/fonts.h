#pragma once

namespace mok {

// Maps the Windows font names the window uses (宋体, 黑体, MingLiU, ...) to the
// installed CJK fonts, so Chinese text renders with a matching style.
void InstallFontSubstitutes();

}  // namespace mok
