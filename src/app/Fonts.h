#pragma once

#include <QString>

namespace flintly {

// Registers the fonts shipped in share/flintly/fonts (Pretendard) with the app; the
// windows of ours fall back to the system's sans serif where they are missing.
int loadBundledFonts(const QString& fontsDir);

}  // namespace flintly
