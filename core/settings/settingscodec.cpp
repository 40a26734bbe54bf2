#include "core/settings/settingscodec.h"

#include <QByteArray>
#include <QStringDecoder>

namespace Sveltra {

QString EncodeSetting(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    QString result;
    result.reserve(bytes.size() * 3);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int position = static_cast<int>((i + 1) % 10);
        result += QString::number(static_cast<unsigned char>(bytes[i]) + 500 + position);
    }
    return result;
}

QString DecodeSetting(const QString &encoded, bool *ok)
{
    if (ok)
        *ok = false;
    const QString digits = encoded.trimmed();
    if (digits.size() % 3 != 0)
        return {};

    QByteArray bytes;
    bytes.reserve(digits.size() / 3);
    for (qsizetype start = 0; start < digits.size(); start += 3) {
        int value = 0;
        for (qsizetype k = start; k < start + 3; ++k) {
            const QChar c = digits[k];
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
            value = value * 10 + (c.unicode() - u'0');
        }
        const int position = static_cast<int>((start / 3 + 1) % 10);
        const int code = value - 500 - position;
        if (code < 0 || code > 255)
            return {};
        bytes.append(static_cast<char>(code));
    }

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return {};
    if (ok)
        *ok = true;
    return text;
}

} // namespace Sveltra
