#pragma once
// Windows-1251, the code page of channel names and value logs, through iconv.

#include <QString>

#include <string>
#include <string_view>

namespace curvix {

// Undefined bytes become U+FFFD; nothing is dropped silently.
QString fromCp1251(std::string_view bytes);
// Characters without a Windows-1251 form become '?'.
std::string toCp1251(const QString& text);

} // namespace curvix
