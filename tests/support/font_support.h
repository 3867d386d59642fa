// The base fonts for tests: the built-in font data natively, pagrix.dll from
// the build tree on Windows.
#pragma once
#include <string>

namespace testsupport {

// Installs the base-font resolver (idempotent); false when none is available.
bool install_base_fonts();
// The bytes of one base font file ("n021003l.pfb"), or "".
std::string base_font_bytes(const char *file_name);

}  // namespace testsupport
