#include "monitor/Cp1251.h"

#include <iconv.h>

#include <cerrno>

namespace qmt {

QByteArray toCp1251(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open("WINDOWS-1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return text.toLatin1();

    QByteArray out;
    out.reserve(utf8.size());
    char* in = const_cast<char*>(utf8.constData());
    size_t inLeft = static_cast<size_t>(utf8.size());
    char buffer[256];
    while (inLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t r = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<int>(dst - buffer));
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ (no such character) or EINVAL (cut sequence): replace one
        // UTF-8 sequence and go on.
        out.append('?');
        int skip = 1;
        while (skip < static_cast<int>(inLeft) &&
               (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80)
            ++skip;
        in += skip;
        inLeft -= static_cast<size_t>(skip);
    }
    iconv_close(cd);
    return out;
}

} // namespace qmt
