#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

// Paths on this system are bytes, and nothing makes them valid UTF-8. The list, the settings and the
// window all hold QStrings, and QString's own conversion turns every byte it cannot read into U+FFFD
// (decoding) or "?" (encoding): two different files would then share one name, and neither could be
// opened. So paths cross between bytes and QString only here: valid UTF-8 is read as text, and every
// byte that is not part of it is kept as a lone surrogate U+DC80..U+DCFF (the byte plus 0xDC00), which
// valid UTF-8 can never produce, and is written back as that byte.
namespace PathBytes {

QString Decode(const QByteArray& bytes);

// The bytes a decoded path came from. A surrogate that no byte can stand for is written as "?", so
// check IsCarried first where that matters.
QByteArray Encode(const QString& path);

// True when Encode gives bytes that Decode turns back into this very path: no surrogate other than a
// byte's, and no bytes' surrogates that together would read as a different character.
bool IsCarried(const QString& path);

// True when the path holds a byte that is not valid UTF-8.
bool HasEscapes(const QString& path);

// Folded for comparing names without case, each byte that is not text kept as it is.
QString CaseFolded(const QString& path);

// For people: each such byte shown as the replacement character U+FFFD.
QString Display(const QString& path);

// The path a local-file URL names, from its encoded form ("%FF" stays the byte 0xFF); empty for a URL
// that is not a local file.
QString FromUrl(const QUrl& url);

// A local-file URL for the path, byte for byte.
QUrl ToUrl(const QString& path);

// A path as Qt's own file dialog gives it, each byte that is not text already turned into U+FFFD. When
// exactly one name in its folder shows as the path's name does, that file is the one chosen; when
// several do, no one can tell which was meant and the path is refused: nothing, and the reason.
std::optional<QString> FromShown(const QString& shown, QString* reason);

// Why a path cannot be added as it is (see IsCarried); empty when it can.
QString Refusal(const QString& path);

// Whether the path (links followed) is a folder.
bool IsDir(const QString& path);

} // namespace PathBytes
