#include "text/RTMessageTextPatterns.h"

#include "foundation/Log.h"
#include "text/RTMessageTextParser.h"

#include <QMutex>
#include <QRegularExpression>
#include <QUrl>

namespace {

using Regex = RTMessageTextPatterns::Regex;

// Host parts are shared by the protocol and feed patterns.
constexpr char16_t kProtocolPrefix[] = u"(?:(?:ht|f)tps?://)";
constexpr char16_t kUrlAfterProtocol[] =
    uR"RX((?#user:pass)(?:[-_+\p{L}\p{N}]+:[-_+\p{L}\p{N}]+@)?(?#subs)(?:[-_+$\p{L}\p{N}\p{So}\p{M}]|%[a-f\d]{2})+(?:\.(?:[-_+$\p{L}\p{N}\p{So}\p{M}]|%[a-f\d]{2})+)*(?#port)(?::(?:[\d]{1,5}))?(?#dirs)(?:/(?:[-_+.,$&#~=;:!*'^()@\p{L}\p{N}\p{So}\p{M}`]|%[a-f\d]{2})+)*(?#query)(?:(?:[-_+.,$&#~=;:!*'^()?/~@\p{L}\p{N}\p{So}\p{M}]|%[a-f\d]{2})+)?)RX";
constexpr char16_t kUrlWww[] =
    uR"RX((?i)(?#user:pass)(?:[-_+\p{L}\p{N}]+:[-_+\p{L}\p{N}]+@)?(?#www)(?:www|www2)(?#subs)(?:\.(?:[-_+$\p{L}\p{N}\p{So}\p{M}]|%[a-f\d]{2})+)+(?#port)(?::(?:[\d]{1,5}))?(?#dirs)(?:/(?:[-_+.,$&#~=;:!*'^()@\p{L}\p{N}\p{So}\p{M}]|%[a-f\d]{2})+)*(?#query)(?:(?:[-_+.,$&#~=;:!*'^()?/~@\p{L}\p{N}\p{So}\p{M}]|%[a-f\d]{2})+)?)RX";
constexpr char16_t kShortenerStart[] = uR"RX((?i)(?#short)\b(?:)RX";
constexpr char16_t kShortenerEnd[] =
    uR"RX()(?#dirs)(?:/(?:[-_+.,$&#~=;:!*'^()@\p{L}\p{N}\p{So}\p{M}]|%[a-f\d]{2})+)*(?#query)(?:(?:[-_+.,$&#~=;:!*'^()?/~@\p{L}\p{N}\p{So}\p{M}]|%[a-f\d]{2})+)?)RX";
// A screen name is ASCII letters, digits and "_": the mention ends where no name can go on
// ("@bobに" names bob); list paths keep their wider alphabet.
constexpr char16_t kMention[] =
    uR"RX((?#mention)@[A-Za-z0-9_]+(?#list)(?:/(?:[-_+.,$&#~=;:!*'()/\p{L}\p{N}\p{So}\p{M}`]|%[a-f\d]{2})+\b)*)RX";
constexpr char16_t kHash[] = uR"RX(#[-_@&~%*\p{L}\p{N}]+)RX";
constexpr char16_t kHashNumericOnly[] = uR"RX(#\p{N}+\b)RX";
constexpr char16_t kHashLongNumeric[] = uR"RX(#\p{N}{4,}\b)RX";
constexpr char16_t kQuote[] = uR"RX(\$\p{Lu}{4})RX";
constexpr char16_t kEmail[] =
    uR"RX((?:[-\p{L}\p{N}!#$%&'*+/=?^_`{|}~]+)@(?:[-_\p{L}\p{N}]+(?:\.[-_\p{L}\p{N}]{2,})+)\b)RX";
constexpr char16_t kTerms[] = uR"RX([\p{L}\p{N}\p{So}\p{P}]+)RX";
constexpr std::array<const char16_t *, 11> kBadProtocolCore = {uR"RX([-_!\s:;,.]ttp://)RX",
                                                               u"htp:",
                                                               u"htp:/",
                                                               u"htp://",
                                                               u"htp/",
                                                               u"htp//",
                                                               u"htp//",
                                                               u"htps:",
                                                               u"htps:/",
                                                               u"htps://",
                                                               u"http:/"};
constexpr char16_t kBadProtocolTail[] = uR"RX([-_~&$\p{N}\p{L}\p{So}]+)RX";

// Run once over every pattern before real use, so the first message pays no setup.
constexpr char16_t kWarmUpText[] =
    u"Una cadena de caracteres donde aplicar el regex para que se haga el estudio";

// Host lists are small; anything beyond these bounds is not a host list.
constexpr qsizetype kMaxHosts = 1000;
constexpr qsizetype kMaxHostLength = 253;

QMutex g_hostsMutex;
QStringList *g_shortenerHosts = nullptr;

Regex compileOne(const QString &pattern)
{
    QString error;
    Regex regex = RTRegex::compile(pattern, RTRegex::Caseless, &error);
    if (!regex)
        qCWarning(lcText) << "pattern does not compile:" << error;
    else
        (void)regex->containsMatchIn(QStringView(kWarmUpText));
    return regex;
}

QStringList configuredShortenerHosts()
{
    QMutexLocker lock(&g_hostsMutex);
    return g_shortenerHosts ? *g_shortenerHosts : RTMessageTextParser::defaultShortenerHosts();
}

RTMessageTextPatterns build()
{
    RTMessageTextPatterns p;
    const QString protocol = QString::fromUtf16(kProtocolPrefix);
    const QString afterProtocol = QString::fromUtf16(kUrlAfterProtocol);
    p.mention = compileOne(QString::fromUtf16(kMention));
    p.hash = compileOne(QString::fromUtf16(kHash));
    p.hashNumericOnly = compileOne(QString::fromUtf16(kHashNumericOnly));
    p.hashLongNumeric = compileOne(QString::fromUtf16(kHashLongNumeric));
    p.quote = compileOne(QString::fromUtf16(kQuote));
    p.email = compileOne(QString::fromUtf16(kEmail));
    p.urlProtocol = compileOne(protocol + afterProtocol);
    p.urlWww = compileOne(QString::fromUtf16(kUrlWww));
    p.feed = compileOne(QStringLiteral("(?i)(?:feed://)") + afterProtocol);
    p.terms = compileOne(QString::fromUtf16(kTerms));
    const QString shorteners = RTMessageTextPatterns::hostAlternation(configuredShortenerHosts());
    if (!shorteners.isEmpty()) {
        p.urlShortener = compileOne(QString::fromUtf16(kShortenerStart) + shorteners +
                                    QString::fromUtf16(kShortenerEnd));
    }
    const QString special =
        RTMessageTextPatterns::hostAlternation(RTMessageTextParser::specialHosts());
    if (!special.isEmpty())
        p.specialUrls = compileOne(QStringLiteral("(?i)(?:\\b(?:%1))").arg(special));
    for (size_t i = 0; i < kBadProtocolCore.size(); ++i) {
        p.badProtocol[i] =
            compileOne(QStringLiteral("(?i)") + QString::fromUtf16(kBadProtocolCore[i]) +
                       QString::fromUtf16(kBadProtocolTail));
    }
    return p;
}

} // namespace

const RTMessageTextPatterns &RTMessageTextPatterns::shared()
{
    static const RTMessageTextPatterns patterns = build();
    return patterns;
}

QString RTMessageTextPatterns::hostAlternation(const QStringList &hosts)
{
    QStringList escaped;
    for (const QString &host : hosts) {
        const QString h = host.trimmed();
        if (h.isEmpty() || h.size() > kMaxHostLength)
            continue;
        // Hosts come from a server: escape every pattern character, not only the dots.
        escaped.append(QRegularExpression::escape(h));
        if (escaped.size() >= kMaxHosts)
            break;
    }
    return escaped.join(u'|');
}

QList<RTRegex::Match> RTTextScan::matches(const RTMessageTextPatterns::Regex &regex,
                                          QStringView text)
{
    QList<RTRegex::Match> out;
    if (!regex)
        return out;
    if (regex->forEachMatch(text, [&](const RTRegex::Match &m) { out.append(m); }) !=
        RTRegex::Status::Ok) {
        failed = true;
        out.clear();
    }
    return out;
}

bool isUrlTrimChar(QChar c)
{
    switch (c.unicode()) {
    case u'.':
    case u'!':
    case u':':
    case u';':
    case u',':
    case u'"':
    case u'(':
    case u')':
        return true;
    default:
        return false;
    }
}

std::pair<qsizetype, qsizetype> trimmedSpan(QStringView s, bool whiteSpaceFirst)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    if (whiteSpaceFirst) {
        while (begin < end && s[begin].isSpace())
            ++begin;
        while (end > begin && s[end - 1].isSpace())
            --end;
    }
    while (begin < end && isUrlTrimChar(s[begin]))
        ++begin;
    while (end > begin && isUrlTrimChar(s[end - 1]))
        --end;
    return {begin, end - begin};
}

void RTMessageTextParser::setShortenerHosts(const QStringList &hosts)
{
    QMutexLocker lock(&g_hostsMutex);
    delete g_shortenerHosts;
    g_shortenerHosts = new QStringList(hosts);
}

QStringList RTMessageTextParser::defaultShortenerHosts()
{
    return {QStringLiteral("bit.ly"),      QStringLiteral("j.mp"),        QStringLiteral("is.gd"),
            QStringLiteral("tinyurl.com"), QStringLiteral("tr.im"),       QStringLiteral("cli.gs"),
            QStringLiteral("u.nu"),        QStringLiteral("budurl.com"),  QStringLiteral("ow.ly"),
            QStringLiteral("goo.gl"),      QStringLiteral("t.co"),        QStringLiteral("su.pr"),
            QStringLiteral("twurl.nl"),    QStringLiteral("snipurl.com"), QStringLiteral("fb.me"),
            QStringLiteral("post.ly")};
}

QStringList RTMessageTextParser::specialHosts()
{
    return {QStringLiteral("bit.ly"), QStringLiteral("talvo.app")};
}

RTRangeIndex::RTRangeIndex(const QList<RTParseRecord> &records)
{
    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    ranges.reserve(size_t(records.size()));
    for (const RTParseRecord &r : records) {
        if (r.length > 0)
            ranges.emplace_back(r.location, r.end());
    }
    std::sort(ranges.begin(), ranges.end());
    qsizetype maxEnd = 0;
    for (const auto &[start, end] : ranges) {
        maxEnd = std::max(maxEnd, end);
        m_starts.push_back(start);
        m_maxEndUpTo.push_back(maxEnd);
    }
}

bool RTRangeIndex::overlaps(qsizetype start, qsizetype length) const
{
    if (length <= 0)
        return false;
    // Ranges starting before this one ends overlap it when one of them ends after its start.
    const auto it = std::lower_bound(m_starts.begin(), m_starts.end(), start + length);
    const auto count = size_t(it - m_starts.begin());
    return count > 0 && m_maxEndUpTo[count - 1] > start;
}

bool formsUrl(const QString &escaped)
{
    const QUrl url(escaped, QUrl::TolerantMode);
    return url.isValid() && !url.scheme().isEmpty();
}
