#include "core/Cp1251.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace curvix {
namespace {

// One conversion of a whole text; invalid input is replaced and skipped.
std::string convert(const char* to, const char* from, std::string_view input,
                    std::string_view replacement, std::size_t invalidWidth) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
    std::string out;
    std::vector<char> buffer(input.size() * 4 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: one unusable character.
        out.append(replacement);
        const std::size_t skip = std::min(invalidWidth, inLeft);
        in += skip;
        inLeft -= skip;
    }
    iconv_close(cd);
    return out;
}

std::size_t utf8Width(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

} // namespace

QString fromCp1251(std::string_view bytes) {
    bool ascii = true;
    for (char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::string utf8 = convert("UTF-8", "WINDOWS-1251", bytes, "\xEF\xBF\xBD", 1);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toCp1251(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    std::string_view rest(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    // Converted piecewise so that the width of a refused character is known.
    while (!rest.empty()) {
        const std::size_t width = utf8Width(static_cast<unsigned char>(rest.front()));
        const std::string_view piece = rest.substr(0, width);
        const std::string converted = convert("WINDOWS-1251", "UTF-8", piece, "?", width);
        out += converted.empty() ? std::string("?") : converted;
        rest.remove_prefix(piece.size());
    }
    return out;
}

} // namespace curvix
