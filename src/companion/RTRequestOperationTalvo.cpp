#include "companion/RTRequestOperationTalvo.h"

#include "companion/RTCompanionRequestTypes.h"
#include "companion/RTGroupObject.h"
#include "foundation/HostProfile.h"
#include "foundation/Localization.h"
#include "foundation/RTGlobalVariables.h"
#include "foundation/StringAdditions.h"
#include "http/HttpRequest.h"
#include "platform/TAUtility.h"
#include "json/Json.h"
#include "json/JsonValue.h"

#include <QCoreApplication>

namespace {

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

QString groupIdOf(const QVariantMap &userInfo)
{
    const auto group = userInfo.value(QStringLiteral("groupObject")).value<RTGroupObjectPtr>();
    return group ? group->groupId() : QString();
}

QString filterIdOf(const QVariantMap &userInfo)
{
    return encodeForQueryString(userInfo.value(QStringLiteral("id")).toString());
}

void applyCompanionHost(RTUrlInformation &info)
{
    const QUrl base = HostProfile::current().baseUrl(QStringLiteral("companion"));
    if (!base.isValid() || base.host().isEmpty()) {
        info.hostString = QStringLiteral("");
        return;
    }
    if (!base.scheme().isEmpty())
        info.httpProtocol = base.scheme();
    QString host = base.host();
    if (base.port() != -1)
        host += QLatin1Char(':') + QString::number(base.port());
    QString prefix = base.path();
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    info.hostString = host + prefix;
}

// A list that is present, an array, and not longer than the bound.
bool boundedList(const JsonValue &value)
{
    return value.isArray() && value.size() <= RTRequestOperationTalvo::kMaxListLength;
}

QString statusResult(const JsonValue &answer)
{
    return answer["status"]["result"].toString();
}

} // namespace

QString RTRequestOperationTalvo::apiKey()
{
    return encodeForQueryString(TAUtility::talvoApiKey());
}

QString RTRequestOperationTalvo::guid() const
{
    return encodeForQueryString(userInfo().value(QLatin1String(kGuidKey)).toString());
}

QString RTRequestOperationTalvo::build()
{
    const QString version = QCoreApplication::applicationVersion();
    return encodeForQueryString(version.isEmpty() ? QStringLiteral("1") : version);
}

QString RTRequestOperationTalvo::guidQueryWithBuild() const
{
    return QStringLiteral("?guid=%1&api_key=%2&platform=osx&build=%3")
        .arg(guid(), apiKey(), build());
}

QString RTRequestOperationTalvo::guidQuery() const
{
    return QStringLiteral("?guid=%1&api_key=%2&platform=osx").arg(guid(), apiKey());
}

QString RTRequestOperationTalvo::apiKeyFirstQuery() const
{
    return QStringLiteral("?api_key=%1&guid=%2&platform=osx&build=%3")
        .arg(apiKey(), guid(), build());
}

bool RTRequestOperationTalvo::urlInformationForRequestType(qint32 requestType,
                                                           RTUrlInformation &info)
{
    const QVariantMap info_ = userInfo();
    info.httpProtocol = QStringLiteral("https");
    info.format = QStringLiteral("");
    applyCompanionHost(info);
    const bool withAccount = info_.value(key(kRTRequiresAuthKey)).toBool();
    const QString groupId = encodeForQueryString(groupIdOf(info_));
    switch (requestType) {
    case RTTalvoRequestShorteners:
        info.path = QStringLiteral("/v1/static/shorteners");
        break;
    case RTTalvoRequestVerifyAccount:
        info.path = QStringLiteral("/v1/user/verify");
        info.arguments = QStringLiteral("?api_key=") + apiKey();
        info.authentificationMethod = AuthentificationBasic;
        break;
    case RTTalvoRequestGroups:
        info.path = QStringLiteral("/v1/user/groups");
        info.arguments = QStringLiteral("?api_key=%1&platform=osx&guid=%2").arg(apiKey(), guid());
        info.authentificationMethod = AuthentificationBasic;
        break;
    case RTTalvoRequestCreateGroup:
        info.httpMethod = QStringLiteral("POST");
        info.path = QStringLiteral("/v1/group");
        info.authentificationMethod = AuthentificationBasic;
        break;
    case RTTalvoRequestRenameGroup:
        info.httpMethod = QStringLiteral("PUT");
        info.path = QStringLiteral("/v1/group/") + groupId;
        info.arguments =
            guidQuery() + QStringLiteral("&group[members]=%1&group[name]=%2")
                              .arg(encodeForQueryString(info_.value("members").toString()),
                                   encodeForQueryString(info_.value("newName").toString()));
        info.authentificationMethod = AuthentificationBasic;
        break;
    case RTTalvoRequestRemoveGroup:
        info.httpMethod = QStringLiteral("DELETE");
        info.path = QStringLiteral("/v1/group/") + groupId;
        info.arguments = guidQuery();
        info.authentificationMethod = AuthentificationBasic;
        break;
    case RTTalvoRequestAddMember:
    case RTTalvoRequestRemoveMember:
        info.httpMethod = requestType == RTTalvoRequestAddMember ? QStringLiteral("PUT")
                                                                 : QStringLiteral("DELETE");
        info.path = QStringLiteral("/v1/group/%1/member/%2")
                        .arg(groupId, encodeForQueryString(info_.value("memberId").toString()));
        info.arguments = guidQuery();
        info.authentificationMethod = AuthentificationBasic;
        break;
    case RTTalvoRequestClickedUrls:
    case RTTalvoRequestShortenedUrls:
        info.httpMethod = QStringLiteral("POST");
        info.path = requestType == RTTalvoRequestClickedUrls ? QStringLiteral("/v1/report/urls")
                                                             : QStringLiteral("/v1/report/shares");
        info.arguments = apiKeyFirstQuery() + QStringLiteral("&report=") +
                         encodeForQueryString(info_.value("report").toString());
        break;
    case RTTalvoRequestSetups:
        info.path = QStringLiteral("/v1/static/setups");
        info.arguments = apiKeyFirstQuery();
        break;
    case RTTalvoRequestConfigurations:
        info.path = QStringLiteral("/v1/configurations");
        info.arguments = apiKeyFirstQuery();
        break;
    case RTTalvoRequestTrends:
        info.path = QStringLiteral("/v1/search/trends");
        info.arguments = QStringLiteral("?api_key=") + apiKey();
        break;
    case RTTalvoRequestEpoch:
        info.path = QStringLiteral("/v1/epoch");
        break;
    case RTTalvoRequestExtendMute:
    case RTTalvoRequestExtendHighlight: {
        const bool mute = requestType == RTTalvoRequestExtendMute;
        info.httpMethod = QStringLiteral("PUT");
        info.path = (mute ? QStringLiteral("/v1/mute/%1/extend")
                          : QStringLiteral("/v1/highlight/%1/extend"))
                        .arg(filterIdOf(info_));
        info.arguments = guidQueryWithBuild() + (mute ? QStringLiteral("&mute[extension]=%1")
                                                      : QStringLiteral("&highlight[extension]=%1"))
                                                    .arg(info_.value("extension").toLongLong());
        break;
    }
    case RTTalvoRequestDestroyMute:
    case RTTalvoRequestReadMute:
    case RTTalvoRequestDestroyHighlight:
    case RTTalvoRequestReadHighlight:
    case RTTalvoRequestDestroyTranslate: {
        const bool destroy = requestType == RTTalvoRequestDestroyMute ||
                             requestType == RTTalvoRequestDestroyHighlight ||
                             requestType == RTTalvoRequestDestroyTranslate;
        info.httpMethod = destroy ? QStringLiteral("DELETE") : QStringLiteral("GET");
        const char *kind = requestType < 70 ? "mute" : requestType < 80 ? "highlight" : "translate";
        info.path = QStringLiteral("/v1/%1/%2").arg(QLatin1String(kind), filterIdOf(info_));
        info.arguments = guidQueryWithBuild();
        break;
    }
    case RTTalvoRequestCreateMute:
    case RTTalvoRequestCreateHighlight:
    case RTTalvoRequestCreateTranslate: {
        info.httpMethod = QStringLiteral("POST");
        const char *kind = requestType == RTTalvoRequestCreateMute        ? "mute"
                           : requestType == RTTalvoRequestCreateHighlight ? "highlight"
                                                                          : "translate";
        info.path = QStringLiteral("/v1/") + QLatin1String(kind);
        info.arguments = guidQueryWithBuild();
        break;
    }
    case RTTalvoRequestHeartBeat:
        info.path = QStringLiteral("/v1/guid/heartbeat");
        info.arguments = guidQueryWithBuild();
        break;
    default:
        return false;
    }
    // Filter requests carry the account only when there is one.
    if (requestType >= RTTalvoRequestExtendMute && requestType < RTTalvoRequestHeartBeat &&
        requestType != RTTalvoRequestReadMute && requestType != RTTalvoRequestReadHighlight &&
        withAccount)
        info.authentificationMethod = AuthentificationBasic;
    return true;
}

QString RTRequestOperationTalvo::serviceName() const
{
    const auto group = userInfo().value(QStringLiteral("groupObject")).value<RTGroupObjectPtr>();
    if (group && group->service())
        return group->service()->serviceId();
    return QStringLiteral("Talvo");
}

void RTRequestOperationTalvo::willStartRequest(HttpRequest &request)
{
    // A PUT without a body still says so: servers refuse one without a length.
    if (request.requestMethod() == QLatin1String("PUT"))
        request.addRequestHeader("Content-Length", "0");
}

QString RTRequestOperationTalvo::errorStringForHTTPResponseStatusCode(int statusCode,
                                                                      const QString &,
                                                                      HttpRequest &request)
{
    if (statusCode >= 200 && statusCode < 300)
        return {};
    if (statusCode == 401)
        return localizedString("##RTRequestOperationTalvo:7##");
    if (statusCode == 500)
        return localizedString("##RTRequestOperationTalvo:8##");
    if (statusCode == 0)
        return {}; // no answer at all: the transport error speaks
    const QString message = objectFromJSON(request.responseData())["status"]["message"].toString();
    return message.isEmpty() ? QStringLiteral("HTTP %1").arg(statusCode) : message.left(200);
}

QVariant RTRequestOperationTalvo::objCResponseFromString(const QString &responseString)
{
    const JsonValue json = objectFromJSON(responseString);
    return json.isValid() ? QVariant::fromValue(json) : QVariant();
}

QString RTRequestOperationTalvo::failureStringFromServerWithObjCResponse(const QVariant &response)
{
    const JsonValue answer = response.value<JsonValue>();
    if (!answer.isObject())
        return localizedString("##RTRequestOperation:1##");
    const JsonValue status = answer["status"];
    if (status.isObject() && status["code"].isValid() && status["code"].toInt() != 200) {
        const QString message = status["message"].toString();
        return message.isEmpty() ? QStringLiteral("Error %1").arg(status["code"].toInt())
                                 : message.left(200);
    }
    return {};
}

bool RTRequestOperationTalvo::dealWithResponse(const QVariant &response, QVariantMap &result,
                                               HttpRequest &)
{
    const JsonValue answer = response.value<JsonValue>();
    const QVariantMap info = userInfo();
    const bool ok = statusResult(answer) == QLatin1String("OK");
    auto fail = [&result](const QString &why) {
        result.insert(key(kRTOperationFailureMessageKey), why);
        return false;
    };
    auto copyList = [&](const char *name) {
        const JsonValue value = answer[name];
        if (!value.isValid())
            return true;
        if (!boundedList(value))
            return false;
        result.insert(QLatin1String(name), value.toVariantList());
        return true;
    };
    auto single = [&](const char *resultKey, const char *answerKey) {
        const JsonValue record = answer[answerKey];
        if (!record.isObject())
            return fail(QStringLiteral("Unexpected answer"));
        result.insert(QLatin1String(resultKey), QVariantList{record.toVariantMap()});
        return true;
    };

    switch (requestType()) {
    case RTTalvoRequestShorteners:
        for (const char *name : {"shorteners", "imagers", "customs", "framers"})
            if (!copyList(name))
                return fail(QStringLiteral("Unexpected answer"));
        return true;
    case RTTalvoRequestVerifyAccount:
        result.insert(QStringLiteral("user"), answer["user"].toVariant());
        return true;
    case RTTalvoRequestGroups:
        if (answer["status"]["code"].toInt() == 200) {
            if (!boundedList(answer["result"]))
                return fail(QStringLiteral("Unexpected answer"));
            result.insert(QStringLiteral("groupAccounts"), answer["result"].toVariantList());
        }
        return true;
    case RTTalvoRequestCreateGroup:
    case RTTalvoRequestRenameGroup:
    case RTTalvoRequestRemoveGroup:
    case RTTalvoRequestAddMember:
    case RTTalvoRequestRemoveMember:
        result.insert(QStringLiteral("groupObject"), info.value(QStringLiteral("groupObject")));
        result.insert(QStringLiteral("memberId"), info.value(QStringLiteral("memberId")));
        if (answer["group"].isObject())
            result.insert(QStringLiteral("group"), answer["group"].toVariantMap());
        return true;
    case RTTalvoRequestClickedUrls:
    case RTTalvoRequestShortenedUrls:
        result.insert(QStringLiteral("status"), answer.toVariantMap());
        result.insert(QStringLiteral("success"), ok);
        return true;
    case RTTalvoRequestSetups:
        for (const char *name : {"filter_categories", "filter_actions", "filter_predicates",
                                 "filter_conditions", "filters", "sources"})
            if (!copyList(name))
                return fail(QStringLiteral("Unexpected answer"));
        result.insert(QStringLiteral("status"), answer["status"].toVariant());
        result.insert(QStringLiteral("success"), ok);
        return true;
    case RTTalvoRequestConfigurations:
        // Copied as they are: the client judges the whole answer before using any of it.
        for (const char *name : {"translates", "mutes", "highlights"})
            if (answer[name].isValid())
                result.insert(QLatin1String(name), answer[name].toVariant());
        result.insert(QStringLiteral("succeeded"), ok);
        return true;
    case RTTalvoRequestTrends:
        if (!copyList("twitter"))
            return fail(QStringLiteral("Unexpected answer"));
        result.insert(QStringLiteral("return_in"), answer["return_in"].toVariant());
        return true;
    case RTTalvoRequestEpoch:
        result.insert(QStringLiteral("results"), answer.toVariantMap());
        return true;
    case RTTalvoRequestExtendMute:
    case RTTalvoRequestCreateMute:
    case RTTalvoRequestReadMute:
        return single("mutes", "mute");
    case RTTalvoRequestExtendHighlight:
    case RTTalvoRequestCreateHighlight:
    case RTTalvoRequestReadHighlight:
        return single("highlights", "highlight");
    case RTTalvoRequestCreateTranslate:
        return single("translates", "translate");
    case RTTalvoRequestDestroyMute:
    case RTTalvoRequestDestroyHighlight:
    case RTTalvoRequestDestroyTranslate: {
        result.insert(QStringLiteral("succeeded"), ok);
        const QVariant record = info.value(QStringLiteral("filterRecord"));
        if (ok && record.isValid()) {
            const char *name = requestType() == RTTalvoRequestDestroyMute        ? "mutes"
                               : requestType() == RTTalvoRequestDestroyHighlight ? "highlights"
                                                                                 : "translates";
            result.insert(QLatin1String(name), QVariantList{record});
        }
        return true;
    }
    case RTTalvoRequestHeartBeat:
        result.insert(QStringLiteral("succeeded"), ok);
        return true;
    default:
        return false;
    }
}
