#include "foundation/StringAdditions.h"

#include <QHash>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isAsciiAlnum(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Characters a URL may carry as they are: the unreserved and reserved sets, the
// fragment mark and "%" (so existing escapes survive).
bool isLegalUrlByte(unsigned char c)
{
    if (isAsciiAlnum(c))
        return true;
    switch (c) {
    case '-':
    case '_':
    case '.':
    case '!':
    case '~':
    case '*':
    case '\'':
    case '(':
    case ')':
    case ';':
    case '/':
    case '?':
    case ':':
    case '@':
    case '&':
    case '=':
    case '+':
    case '$':
    case ',':
    case '#':
    case '%':
        return true;
    default:
        return false;
    }
}

bool isUnreservedByte(unsigned char c)
{
    return isAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

template<typename Keep> QString percentEscape(const QByteArray &utf8, Keep keep)
{
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / 2);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (keep(c)) {
            out.append(ch);
        } else {
            out.append('%');
            out.append(kHex[c >> 4]);
            out.append(kHex[c & 0xF]);
        }
    }
    return QString::fromLatin1(out);
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Latin-1 entities, code points 160 to 255 in order.
constexpr const char *kLatin1Entities[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct NamedEntity
{
    const char *name;
    char32_t codePoint;
};

constexpr NamedEntity kOtherEntities[] = {
    {"quot", 34},     {"amp", 38},      {"apos", 39},     {"lt", 60},       {"gt", 62},
    {"OElig", 338},   {"oelig", 339},   {"Scaron", 352},  {"scaron", 353},  {"Yuml", 376},
    {"fnof", 402},    {"circ", 710},    {"tilde", 732},   {"ensp", 8194},   {"emsp", 8195},
    {"thinsp", 8201}, {"zwnj", 8204},   {"zwj", 8205},    {"lrm", 8206},    {"rlm", 8207},
    {"ndash", 8211},  {"mdash", 8212},  {"lsquo", 8216},  {"rsquo", 8217},  {"sbquo", 8218},
    {"ldquo", 8220},  {"rdquo", 8221},  {"bdquo", 8222},  {"dagger", 8224}, {"Dagger", 8225},
    {"bull", 8226},   {"hellip", 8230}, {"permil", 8240}, {"prime", 8242},  {"Prime", 8243},
    {"lsaquo", 8249}, {"rsaquo", 8250}, {"oline", 8254},  {"euro", 8364},   {"trade", 8482},
    {"larr", 8592},   {"uarr", 8593},   {"rarr", 8594},   {"darr", 8595},   {"harr", 8596},
    {"spades", 9824}, {"clubs", 9827},  {"hearts", 9829}, {"diams", 9830},
};

const QHash<QString, char32_t> &entityTable()
{
    static const QHash<QString, char32_t> table = [] {
        QHash<QString, char32_t> t;
        for (int i = 0; i < 96; ++i)
            t.insert(QLatin1String(kLatin1Entities[i]), char32_t(160 + i));
        for (const NamedEntity &e : kOtherEntities)
            t.insert(QLatin1String(e.name), e.codePoint);
        return t;
    }();
    return table;
}

// Longest entity body we look at between "&" and ";" ("#x10FFFF" and the named ones fit).
constexpr qsizetype kMaxEntityLength = 10;

// The code point of the entity body between "&" and ";", or 0 when it is none we know.
char32_t entityCodePoint(QStringView body)
{
    if (body.startsWith(u'#')) {
        const bool hex = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
        const QStringView digits = body.mid(hex ? 2 : 1);
        if (digits.isEmpty())
            return 0;
        char32_t value = 0;
        for (const QChar c : digits) {
            const int d = hex ? hexValue(c) : (c >= u'0' && c <= u'9' ? c.unicode() - '0' : -1);
            if (d < 0)
                return 0;
            value = value * (hex ? 16 : 10) + char32_t(d);
            if (value > 0x10FFFF)
                return 0;
        }
        if (value == 0 || (value >= 0xD800 && value <= 0xDFFF))
            return 0;
        return value;
    }
    return entityTable().value(body.toString(), 0);
}

} // namespace

QString standardScapedOutString(const QString &s)
{
    return percentEscape(s.toUtf8(), isLegalUrlByte);
}

QString standardUnscapedString(const QString &s)
{
    if (!s.contains(u'%'))
        return s;
    const QByteArray in = s.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 2 < in.size()) {
            const int hi = hexValue(QLatin1Char(in[i + 1]));
            const int lo = hexValue(QLatin1Char(in[i + 2]));
            if (hi >= 0 && lo >= 0) {
                out.append(char(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.append(in[i]);
    }
    if (!QUtf8StringView(out).isValidUtf8())
        return s;
    return QString::fromUtf8(out);
}

QString encodeForQueryString(const QString &s)
{
    return percentEscape(s.toUtf8(), isUnreservedByte);
}

QString encodeForQueryString(const QByteArray &bytes)
{
    return percentEscape(bytes, isUnreservedByte);
}

bool isURLEncoded(const QString &s)
{
    for (qsizetype i = 0; i + 2 < s.size(); ++i) {
        if (s[i] == u'%' && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0)
            return true;
    }
    return false;
}

QString stringByUnescapingHTML(const QString &s)
{
    qsizetype amp = s.indexOf(u'&');
    if (amp < 0)
        return s;
    QString out;
    out.reserve(s.size());
    qsizetype copied = 0;
    while (amp >= 0) {
        const qsizetype semi = s.indexOf(u';', amp + 1);
        if (semi < 0)
            break;
        if (semi - amp - 1 <= kMaxEntityLength) {
            const char32_t cp = entityCodePoint(QStringView(s).mid(amp + 1, semi - amp - 1));
            if (cp != 0) {
                out.append(QStringView(s).mid(copied, amp - copied));
                out.append(QString::fromUcs4(&cp, 1));
                copied = semi + 1;
                amp = s.indexOf(u'&', copied);
                continue;
            }
        }
        amp = s.indexOf(u'&', amp + 1);
    }
    out.append(QStringView(s).mid(copied));
    return out;
}

QString htmlAttributeValue(QStringView tag, QLatin1String name)
{
    const qsizetype at = tag.indexOf(name, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const qsizetype open = tag.indexOf(u'"', at + name.size());
    if (open < 0)
        return {};
    const qsizetype close = tag.indexOf(u'"', open + 1);
    if (close < 0)
        return {};
    return tag.mid(open + 1, close - open - 1).toString();
}
