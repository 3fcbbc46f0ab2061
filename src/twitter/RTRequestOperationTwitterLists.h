#pragma once

#include "twitter/RTListTwitter.h"
#include "twitter/RTRequestOperationTwitter.h"

// Creating, changing and deleting lists, their members and subscriptions. Every other
// request type goes to the plain Twitter operation.
//
// userInfo: "listObject" (the list, for everything but a create), "screenName" (the
// member to add or remove). Form fields ("name", "mode", "description", "id") come from
// the account. The answers put "list" (the list as Twitter now has it) or "members"
// (users, for the members page) into the result.
class RTRequestOperationTwitterLists : public RTRequestOperationTwitter
{
public:
    static constexpr const char *kClassName = "RTRequestOperationTwitterLists";
    // Twitter kept lists to 20 per user and 500 members per list; the sheets say so early.
    static constexpr int kMaxListsPerUser = 20;
    static constexpr int kMaxMembersPerList = 500;
    static constexpr int kMaxListNameLength = 25;
    static constexpr int kMaxDescriptionLength = 100;

    static void registerClass();

    bool urlInformationForRequestType(qint32 requestType, RTUrlInformation &info) override;
    bool dealWithResponse(const QVariant &response, QVariantMap &result,
                          HttpRequest &request) override;
    // The result handling of an already parsed body (tests).
    bool dealWithParsedListResponse(const QVariant &response, QVariantMap &result);
};
