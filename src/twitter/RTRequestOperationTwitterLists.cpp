#include "twitter/RTRequestOperationTwitterLists.h"

#include "foundation/Clock.h"
#include "foundation/RTGlobalVariables.h"
#include "http/HttpRequest.h"
#include "network/RTServiceRequests.h"
#include "twitter/RTServiceTwitter.h"

namespace {

QString text(const JsonValue &v)
{
    return (v.isString() || v.isNumber()) ? v.toString() : QString();
}

} // namespace

void RTRequestOperationTwitterLists::registerClass()
{
    RTServiceRequests::registerRequestOperationClass(QString::fromLatin1(kClassName), [] {
        return std::make_shared<RTRequestOperationTwitterLists>();
    });
}

bool RTRequestOperationTwitterLists::urlInformationForRequestType(qint32 requestType,
                                                                  RTUrlInformation &info)
{
    if (!isTwitterListManagementRequest(requestType))
        return RTRequestOperationTwitter::urlInformationForRequestType(requestType, info);
    // The host, scheme, signing and format of any signed call.
    if (!RTRequestOperationTwitter::urlInformationForRequestType(RTTwitterRequestSavedSearches,
                                                                 info))
        return false;
    const QVariantMap ui = userInfo();
    const auto list = ui.value(QStringLiteral("listObject")).value<RTListTwitterPtr>();
    const QString me = service() ? service()->serviceId() : QString();
    // Paths name the list's owner; a list that is not ours yet (create) names us.
    const QString owner = list && list->user() && !list->user()->screenName().isEmpty()
                              ? list->user()->screenName()
                              : me;
    const QString listId = list ? list->listId() : QString();
    if (requestType != RTTwitterRequestCreateList && listId.isEmpty())
        return false;
    info.arguments = QStringLiteral("");
    info.httpMethod = QStringLiteral("POST");
    switch (requestType) {
    case RTTwitterRequestCreateList:
        info.path = QStringLiteral("/1/%1/lists").arg(me);
        break;
    case RTTwitterRequestUpdateList:
    case RTTwitterRequestDestroyList:
        info.path = QStringLiteral("/1/%1/lists/%2").arg(owner, listId);
        break;
    case RTTwitterRequestListMembers:
        info.httpMethod = QStringLiteral("GET");
        info.path = QStringLiteral("/1/%1/%2/members").arg(owner, listId);
        break;
    case RTTwitterRequestAddListMember:
    case RTTwitterRequestRemoveListMember:
        info.path = QStringLiteral("/1/%1/%2/members").arg(owner, listId);
        break;
    case RTTwitterRequestSubscribeList:
    case RTTwitterRequestUnsubscribeList:
        info.path = QStringLiteral("/1/%1/%2/subscribers").arg(owner, listId);
        break;
    default:
        return false;
    }
    return true;
}

bool RTRequestOperationTwitterLists::dealWithResponse(const QVariant &response, QVariantMap &result,
                                                      HttpRequest &request)
{
    if (!isTwitterListManagementRequest(requestType()))
        return RTRequestOperationTwitter::dealWithResponse(response, result, request);
    const QString limit = request.responseHeader(QStringLiteral("X-Ratelimit-Limit"));
    const QString remaining = request.responseHeader(QStringLiteral("X-Ratelimit-Remaining"));
    if (!limit.isEmpty())
        result.insert(QStringLiteral("rateLimitLimit"), limit);
    if (!remaining.isEmpty())
        result.insert(QStringLiteral("rateLimitRemaining"), remaining);
    return dealWithParsedListResponse(response, result);
}

bool RTRequestOperationTwitterLists::dealWithParsedListResponse(const QVariant &response,
                                                                QVariantMap &result)
{
    if (isCancelled())
        return false;
    const auto twitter = std::dynamic_pointer_cast<RTServiceTwitter>(service());
    if (!twitter)
        return false;
    const JsonValue body = response.value<JsonValue>();
    if (requestType() == RTTwitterRequestListMembers) {
        // {"users": [...], "next_cursor": ...}, or the bare array.
        const JsonValue records = body.isArray() ? body : body["users"];
        QHash<QString, RTTwitterUserRecord> users;
        QHash<QString, QDateTime> dates;
        QStringList order;
        const QDateTime now = Clock::currentDateTime();
        for (const JsonValue &record : records) {
            const QString id = text(record["id"]);
            if (!record.isObject() || id.isEmpty() || users.contains(id))
                continue;
            users.insert(id, {record, RTTwitterUserRecord::Form::Rest});
            dates.insert(id, now);
            order << id;
        }
        if (!users.isEmpty())
            (void)twitter->mergeExistingUsersWithNewUsers(users, dates, requestType(), nullptr);
        QList<RTUserTwitterPtr> members;
        for (const QString &id : std::as_const(order)) {
            if (RTUserTwitterPtr user = twitter->userWithId(id))
                members.append(user);
        }
        result.insert(QStringLiteral("members"), QVariant::fromValue(members));
        return true;
    }
    // Every other answer is the list record as it is now.
    const QList<RTListTwitterPtr> lists =
        RTListTwitter::parseListRecords({body}, requestType(), *twitter);
    if (lists.isEmpty()) {
        result.insert(QString::fromLatin1(kRTOperationFailureMessageKey),
                      QStringLiteral("Couldn't Parse Server Response"));
        return false;
    }
    result.insert(QStringLiteral("list"), QVariant::fromValue(lists.constFirst()));
    return true;
}
