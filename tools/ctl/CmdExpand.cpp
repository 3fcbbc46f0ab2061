// talvoctl expand: where short links lead, and which picture a picture page shows.
#include "CtlCommand.h"
#include "CtlTwitterSession.h"

#include "companion/RTCompanionClient.h"
#include "companion/RTCompanionRequestTypes.h"
#include "foundation/RTGlobalVariables.h"
#include "store/TADataManager.h"
#include "text/RTImageContainerResolver.h"
#include "text/RTLinkHosts.h"
#include "text/RTMessageTextParser.h"
#include "text/RTShortURLParser.h"
#include "text/RTShortURLResolver.h"

#include <QEventLoop>
#include <QTimer>

namespace {

constexpr char kUsage[] =
    "usage: talvoctl expand --profile NAME [--timeout SECONDS] [--no-cache] URL...\n";
constexpr int kTablesTimeoutMs = 30000;

// Asks the companion service for its host tables; the built-in ones serve without it.
void loadHostTables(QTextStream &err)
{
    RTCompanionClient &client = RTCompanionClient::talvoService();
    QEventLoop loop;
    bool answered = false;
    QObject::connect(&client, &RTCompanionClient::requestFinished, &loop,
                     [&](const QVariantMap &result, bool ok) {
                         if (result.value(QLatin1String(kRTRequestType)).toInt() !=
                             RTTalvoRequestShorteners)
                             return;
                         answered = ok;
                         loop.quit();
                     });
    client.updateShorteners();
    QTimer::singleShot(kTablesTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!answered)
        err << "the companion service gave no host tables; using the built-in ones\n";
}

} // namespace

int cmdExpand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString profile;
    QStringList links;
    bool useCache = true;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--profile") && hasValue) {
            profile = args.at(++i);
        } else if (arg == QLatin1String("--timeout") && hasValue) {
            bool ok = false;
            const double seconds = args.at(++i).toDouble(&ok);
            if (!ok || seconds <= 0 || seconds > 600) {
                err << kUsage;
                return 2;
            }
            RTShortURLResolver::setTimeOutSeconds(seconds);
        } else if (arg == QLatin1String("--no-cache")) {
            useCache = false;
        } else if (arg.startsWith(QLatin1String("--"))) {
            err << kUsage;
            return 2;
        } else {
            links.append(arg);
        }
    }
    if (links.isEmpty()) {
        err << kUsage;
        return 2;
    }
    if (!CtlTwitterSession::setUp(profile, err))
        return 2;
    loadHostTables(err);
    TADataManager &store = TADataManager::sharedManager();
    if (!useCache)
        for (const QString &link : std::as_const(links))
            store.urlCache().remove(RTShortURLParser::cacheKeyForLink(link));

    int failures = 0;
    for (const QString &link : std::as_const(links)) {
        // A host that names its pictures directly needs no request.
        const QList<RTInlineImageInfo> direct = RTMessageTextParser::imagersInMessageText(link);
        if (!direct.isEmpty() && !direct.first().inlineImageLink.isEmpty() &&
            !RTImageContainerResolver::isValidImageContainerDomainFromUrlString(link)) {
            out << link << "\tpicture\t" << direct.first().inlineImageLink << "\n";
            continue;
        }
        if (!RTShortURLParser::linkQualifies(link) &&
            !RTImageContainerResolver::isValidImageContainerDomainFromUrlString(link)) {
            out << link << "\tnot a short link or picture page of a known host\n";
            ++failures;
            continue;
        }
        QEventLoop loop;
        QString picture;
        if (auto resolver = RTImageContainerResolver::resolverForUrlString(link)) {
            resolver->startResolving([&](const QString &imageLink) {
                picture = imageLink;
                loop.quit();
            });
            loop.exec();
            out << link << "\tpicture\t" << (picture.isEmpty() ? "not found" : picture) << "\n";
            failures += picture.isEmpty();
            continue;
        }
        RTShortURLParser parser;
        QObject::connect(&parser, &RTShortURLParser::doneResolvingAllShortURLs, &loop,
                         &QEventLoop::quit, Qt::QueuedConnection);
        parser.parseStringForShortURLs(link);
        if (parser.resolvingCount() > 0)
            loop.exec();
        const QString longUrl =
            parser.resolvedURLs().value(RTShortURLParser::cacheKeyForLink(link));
        out << link << '\t' << RTShortURLParser::shortenerNameFromURL(QUrl(link)) << '\t'
            << (longUrl.isEmpty() ? QStringLiteral("not expanded") : longUrl) << "\n";
        failures += longUrl.isEmpty();
    }
    store.saveCachesToDisk();
    return failures == 0 ? 0 : 1;
}
