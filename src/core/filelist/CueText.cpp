#include "CueText.h"

#include <QStringDecoder>
#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

namespace CueText {

namespace {
// 0x80..0x9F in Windows-1252; 0 where the code page has no character.
constexpr char16_t kHighControls[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool startsWith(const QByteArray& bytes, const char* mark, int size)
{
    return bytes.size() >= size && std::equal(mark, mark + size, bytes.constData());
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

bool isUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    // The decoder reads only when its result becomes a string.
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

// The locale's character set when it is an 8-bit one a cue sheet may be in; empty for UTF-8, ASCII
// (the "C" locale) and the multi-byte East Asian sets, which valid text would rarely fail UTF-8 as.
QByteArray localeEightBit()
{
    const char* set = nl_langinfo(CODESET);
    if (!set || !*set)
        return {};
    const QByteArray name(set);
    for (const char* notEightBit : {"UTF-8", "ANSI_X3.4-1968", "ASCII", "US-ASCII", "GB18030", "GBK", "BIG5",
                                    "BIG5-HKSCS", "EUC-JP", "EUC-KR", "EUC-TW", "SHIFT_JIS", "GB2312"}) {
        if (!strcasecmp(set, notEightBit))
            return {};
    }
    return name;
}

// Through iconv, which knows every set a locale can name; nothing when a byte does not convert.
bool fromLocale(const QByteArray& bytes, const QByteArray& set, QString& text)
{
    iconv_t cd = iconv_open("UTF-8", set.constData());
    if (cd == iconv_t(-1))
        return false;
    QByteArray out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char* to = out.data();
    size_t outLeft = size_t(out.size());
    const size_t done = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (done == size_t(-1) || inLeft != 0)
        return false;
    out.truncate(out.size() - qsizetype(outLeft));
    text = QString::fromUtf8(out);
    return true;
}
} // namespace

QString FromWindows1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0 && kHighControls[b - 0x80])
            text += QChar(kHighControls[b - 0x80]);
        else
            text += QChar(char16_t(b));
    }
    return text;
}

Decoded Decode(const QByteArray& bytes)
{
    if (startsWith(bytes, "\xEF\xBB\xBF", 3))
        return {decodeWith(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3)), {}};
    if (startsWith(bytes, "\xFF\xFE", 2))
        return {decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2)), "UTF-16LE"};
    if (startsWith(bytes, "\xFE\xFF", 2))
        return {decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2)), "UTF-16BE"};
    if (isUtf8(bytes))
        return {QString::fromUtf8(bytes), {}};
    if (const QByteArray set = localeEightBit(); !set.isEmpty()) {
        QString text;
        if (fromLocale(bytes, set, text))
            return {text, QString::fromLatin1(set)};
    }
    return {FromWindows1252(bytes), "Windows-1252"};
}

} // namespace CueText
