#include "foundation/UrlKeys.h"

#include <QByteArray>
#include <QStringDecoder>

namespace {
constexpr qsizetype kLineLength = 64;
}

QString dotlessUrl(const QString &url)
{
    const QByteArray encoded = url.toUtf8().toBase64();
    QString key;
    key.reserve(encoded.size() + encoded.size() / kLineLength + 1);
    for (qsizetype i = 0; i < encoded.size(); i += kLineLength) {
        key += QLatin1String(encoded.mid(i, kLineLength));
        key += QLatin1Char('\n');
    }
    return key;
}

QString redottedUrl(const QString &key)
{
    QByteArray compact = key.toLatin1();
    compact.replace('\n', QByteArray());
    compact.replace('\r', QByteArray());
    const auto decoded =
        QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QString();
    QStringDecoder toUtf16(QStringDecoder::Utf8);
    QString url = toUtf16(*decoded);
    if (toUtf16.hasError())
        return QString();
    if (url.isNull())
        url = QLatin1String("");
    return url;
}
