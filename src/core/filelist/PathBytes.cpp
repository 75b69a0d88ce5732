#include "filelist/PathBytes.h"

#include <QList>
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace PathBytes {

namespace {
constexpr char16_t kEscapeBase = 0xDC00;

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at bytes[i], or 0. Overlong forms, surrogates and code
// points past U+10FFFF are not valid: reading them as text would let two byte strings share a name.
int sequenceLength(const QByteArray& bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    const qsizetype left = bytes.size() - i;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (int k = 2; k < length; ++k) {
        if (!isContinuation(at(i + k)))
            return 0;
    }
    return length;
}

bool isEscape(char16_t u)
{
    return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF;
}

// Encodes, and says whether every surrogate stood for a byte.
QByteArray encode(const QString& path, bool* carried)
{
    if (std::none_of(path.cbegin(), path.cend(), [](QChar c) { return c.isSurrogate(); })) {
        if (carried)
            *carried = true;
        return path.toUtf8();
    }
    QByteArray out;
    out.reserve(path.size() * 3);
    bool ok = true;
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(path[i + 1].unicode())) {
            out += QString(path.data() + i, 2).toUtf8();
            ++i;
        } else if (isEscape(u)) {
            out += char(u - kEscapeBase);
        } else if (QChar::isSurrogate(u)) {
            out += '?';
            ok = false;
        } else {
            out += QString(path[i]).toUtf8();
        }
    }
    if (carried)
        *carried = ok;
    return out;
}
} // namespace

QString Decode(const QByteArray& bytes)
{
    // Nearly every name is valid UTF-8, which Qt reads fast; its decoder rejects overlong forms and
    // surrogates too, marking each with U+FFFD, so only a name that shows one needs reading byte by byte.
    // It also drops a leading byte order mark, which in a name is a character like any other.
    if (!bytes.startsWith("\xef\xbb\xbf")) {
        QString text = QString::fromUtf8(bytes);
        if (!text.contains(QChar::ReplacementCharacter))
            return text;
    }
    QString out;
    out.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out += QChar(lead);
            ++i;
            continue;
        }
        const int length = sequenceLength(bytes, i);
        if (length == 0) {
            out += QChar(char16_t(kEscapeBase + lead));
            ++i;
            continue;
        }
        char32_t code = lead & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        if (QChar::requiresSurrogates(code)) {
            out += QChar(QChar::highSurrogate(code));
            out += QChar(QChar::lowSurrogate(code));
        } else {
            out += QChar(char16_t(code));
        }
        i += length;
    }
    return out;
}

QByteArray Encode(const QString& path)
{
    return encode(path, nullptr);
}

bool IsCarried(const QString& path)
{
    bool carried = false;
    const QByteArray bytes = encode(path, &carried);
    return carried && Decode(bytes) == path;
}

QString CaseFolded(const QString& path)
{
    if (!HasEscapes(path))
        return path.toCaseFolded();
    // Only the text between the bytes is folded: a lone surrogate is not a character to fold.
    QString out;
    qsizetype start = 0;
    const qsizetype n = path.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i == n || (isEscape(path[i].unicode()) && (i == 0 || !QChar::isHighSurrogate(path[i - 1].unicode())))) {
            out += path.mid(start, i - start).toCaseFolded();
            if (i < n)
                out += path[i];
            start = i + 1;
        }
    }
    return out;
}

bool HasEscapes(const QString& path)
{
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(path[i + 1].unicode()))
            ++i;
        else if (isEscape(u))
            return true;
    }
    return false;
}

QString Display(const QString& path)
{
    if (!HasEscapes(path))
        return path;
    QString out = path;
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = out[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(out[i + 1].unicode()))
            ++i;
        else if (isEscape(u))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QString FromUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    // QUrl::toLocalFile decodes the path as UTF-8 and loses every other byte; the encoded form keeps it.
    return Decode(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QUrl ToUrl(const QString& path)
{
    return QUrl::fromEncoded("file://" + Encode(path).toPercentEncoding("/"), QUrl::StrictMode);
}

QString Refusal(const QString& path)
{
    if (IsCarried(path))
        return {};
    return QStringLiteral("its name holds characters that no file name on this system can hold.");
}

std::optional<QString> FromShown(const QString& shown, QString* reason)
{
    if (QString why = Refusal(shown); !why.isEmpty()) {
        if (reason)
            *reason = why;
        return std::nullopt;
    }
    if (!shown.contains(QChar::ReplacementCharacter))
        return shown;
    const qsizetype slash = shown.lastIndexOf(QLatin1Char('/'));
    const QString folder = shown.left(slash + 1);
    const QString name = shown.mid(slash + 1);
    QList<QByteArray> alike;
    if (DIR* dir = ::opendir(folder.isEmpty() ? "." : Encode(folder).constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (Display(Decode(QByteArray(entry->d_name))) == name)
                alike.append(QByteArray(entry->d_name));
        }
        ::closedir(dir);
    }
    if (alike.size() == 1)
        return folder + Decode(alike.front());
    if (alike.size() > 1) {
        if (reason)
            *reason = QStringLiteral("%1 files in its folder show under this name, as their names are not valid "
                                     "UTF-8, and the dialog cannot say which was chosen. Drag the file onto the "
                                     "list or add its folder instead.")
                          .arg(alike.size());
        return std::nullopt;
    }
    return shown;
}

bool IsDir(const QString& path)
{
    struct stat st
    {};
    return !path.isEmpty() && ::stat(Encode(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace PathBytes
