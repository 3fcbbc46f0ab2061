#include "CtlFacebookBrowser.h"

#include "http/HttpRequest.h"

#include <QRegularExpression>
#include <QUrlQuery>

namespace {

constexpr double kTimeoutSeconds = 20.0;

std::shared_ptr<HttpRequest> request(const QUrl &url, const QString &method,
                                     const QByteArray &body = QByteArray())
{
    auto r = HttpRequest::requestWithURL(url);
    r->setRequestMethod(method);
    r->setShouldRedirect(false);
    r->setTimeOutSeconds(kTimeoutSeconds);
    r->setUseCookiePersistence(false);
    if (!body.isNull()) {
        r->addRequestHeader("Content-Type", "application/x-www-form-urlencoded");
        r->setPostBody(body);
    }
    r->startSynchronous();
    return r;
}

QString attribute(const QString &tag, const QString &name)
{
    const QRegularExpression re(QStringLiteral("\\b%1=\"([^\"]*)\"").arg(name));
    const QRegularExpressionMatch m = re.match(tag);
    if (!m.hasMatch())
        return {};
    QString value = m.captured(1);
    value.replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return value;
}

} // namespace

CtlFacebookBrowser::Outcome CtlFacebookBrowser::run(const QUrl &authorizationUrl) const
{
    Outcome outcome;
    const auto page = request(authorizationUrl, QStringLiteral("GET"));
    if (page->responseStatusCode() != 200) {
        outcome.error = QStringLiteral("the authorisation page answered %1: %2")
                            .arg(page->responseStatusCode())
                            .arg(page->responseString().left(300));
        return outcome;
    }
    const QString html = page->responseString();
    static const QRegularExpression formTag(QStringLiteral("<form\\b[^>]*>"));
    const QRegularExpressionMatch form = formTag.match(html);
    if (!form.hasMatch()) {
        outcome.error = QStringLiteral("the authorisation page has no form");
        return outcome;
    }
    const QUrl action =
        authorizationUrl.resolved(QUrl(attribute(form.captured(0), QStringLiteral("action"))));
    QUrlQuery fields;
    static const QRegularExpression hidden(QStringLiteral("<input\\b[^>]*type=\"hidden\"[^>]*>"));
    for (auto it = hidden.globalMatch(html); it.hasNext();) {
        const QString tag = it.next().captured(0);
        fields.addQueryItem(
            attribute(tag, QStringLiteral("name")),
            QString::fromLatin1(QUrl::toPercentEncoding(attribute(tag, QStringLiteral("value")))));
    }
    fields.addQueryItem(QStringLiteral("email"),
                        QString::fromLatin1(QUrl::toPercentEncoding(user)));
    fields.addQueryItem(QStringLiteral("pass"),
                        QString::fromLatin1(QUrl::toPercentEncoding(password)));
    fields.addQueryItem(deny ? QStringLiteral("deny") : QStringLiteral("allow"),
                        QStringLiteral("1"));

    const auto submitted =
        request(action, QStringLiteral("POST"), fields.toString(QUrl::FullyEncoded).toLatin1());
    QString location;
    const QMap<QString, QString> headers = submitted->responseHeaders();
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        if (it.key().compare(QLatin1String("Location"), Qt::CaseInsensitive) == 0)
            location = it.value();
    }
    if (submitted->responseStatusCode() != 302 || location.isEmpty()) {
        static const QRegularExpression errorText(QStringLiteral("id=\"error\">([^<]*)<"));
        const QRegularExpressionMatch m = errorText.match(submitted->responseString());
        outcome.error = m.hasMatch() ? m.captured(1)
                                     : QStringLiteral("the log-in form answered %1")
                                           .arg(submitted->responseStatusCode());
        return outcome;
    }
    QUrl redirect(location, QUrl::StrictMode);
    if (rewriteRedirect)
        redirect = rewriteRedirect(redirect);
    const auto back = request(redirect, QStringLiteral("GET"));
    outcome.reachedRedirect = back->responseStatusCode() > 0;
    outcome.redirectStatus = back->responseStatusCode();
    outcome.redirectBody = back->responseString();
    if (!outcome.reachedRedirect)
        outcome.error = QStringLiteral("the redirect address did not answer");
    return outcome;
}
