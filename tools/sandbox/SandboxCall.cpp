#include "SandboxCall.h"

#include <QDateTime>
#include <httplib.h>

namespace {
const char *const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

QDateTime utc(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
}
} // namespace

bool SandboxCall::has(const char *name) const
{
    for (const auto &p : query) {
        if (p.first == name)
            return true;
    }
    for (const auto &p : form) {
        if (p.first == name)
            return true;
    }
    return false;
}

QString SandboxCall::param(const char *name) const
{
    for (const auto &p : query) {
        if (p.first == name)
            return QString::fromUtf8(p.second);
    }
    for (const auto &p : form) {
        if (p.first == name)
            return QString::fromUtf8(p.second);
    }
    return {};
}

qint64 SandboxCall::intParam(const char *name, qint64 fallback) const
{
    bool ok = false;
    const qint64 v = param(name).toLongLong(&ok);
    return ok ? v : fallback;
}

QByteArray SandboxCall::header(const char *name) const
{
    return QByteArray::fromStdString(req->get_header_value(name));
}

QString SandboxCall::origin() const
{
    return QString::fromLatin1(tls ? "https://" : "http://") + QString::fromUtf8(hostHeader);
}

void SandboxCall::json(const SandboxJson &value, int httpStatus)
{
    status = httpStatus;
    body = value.serialize();
    contentType = "application/json";
}

bool SandboxCall::answerWithReplay()
{
    if (!replay)
        return false;
    text(replay->body, replay->status, replay->contentType);
    return true;
}

void SandboxCall::text(const QByteArray &value, int httpStatus, const QByteArray &type)
{
    status = httpStatus;
    body = value;
    contentType = type;
}

void SandboxCall::addHeader(const QByteArray &name, const QByteArray &value)
{
    headers.append({name, value});
}

QString twitterDate(qint64 secs)
{
    const QDateTime t = utc(secs);
    return QStringLiteral("%1 %2 %3 %4 +0000 %5")
        .arg(QLatin1String(kDays[t.date().dayOfWeek() - 1]),
             QLatin1String(kMonths[t.date().month() - 1]))
        .arg(t.date().day(), 2, 10, QLatin1Char('0'))
        .arg(t.time().toString(QStringLiteral("HH:mm:ss")))
        .arg(t.date().year());
}

QString searchDate(qint64 secs)
{
    const QDateTime t = utc(secs);
    return QStringLiteral("%1, %2 %3 %4 %5 +0000")
        .arg(QLatin1String(kDays[t.date().dayOfWeek() - 1]))
        .arg(t.date().day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(kMonths[t.date().month() - 1]))
        .arg(t.date().year())
        .arg(t.time().toString(QStringLiteral("HH:mm:ss")));
}

QByteArray httpDate(qint64 secs)
{
    QString s = searchDate(secs);
    s.replace(QLatin1String("+0000"), QLatin1String("GMT"));
    return s.toLatin1();
}

QString htmlEscape(const QString &s)
{
    return s.toHtmlEscaped();
}
