#pragma once

#include <QtGlobal>

// Request types of the Twitter account. The numbers are stored in poll objects,
// archives and older-tweet keys ("REQ:%i"), so they never change; gaps are unused.
enum RTTwitterRequestType : qint32
{
    RTTwitterRequestFriendsTimeline = 1,
    RTTwitterRequestUserTimeline = 2,
    RTTwitterRequestMentions = 3,
    RTTwitterRequestSentTimeline = 4,
    RTTwitterRequestShowStatus = 5,
    RTTwitterRequestUpdateStatus = 6,
    RTTwitterRequestDestroyStatus = 7,
    RTTwitterRequestFavorites = 8,
    RTTwitterRequestCreateFavorite = 9,
    RTTwitterRequestDestroyFavorite = 10,
    RTTwitterRequestDirectInbox = 11,
    RTTwitterRequestDirectOutbox = 12,
    RTTwitterRequestNewDirectMessage = 13,
    RTTwitterRequestDestroyDirectMessage = 14,
    RTTwitterRequestCreateFriendship = 15,
    RTTwitterRequestDestroyFriendship = 16,
    RTTwitterRequestFollowers = 17,
    RTTwitterRequestFriends = 18,
    RTTwitterRequestFriendshipExists = 19,
    RTTwitterRequestFriendIds = 20,
    RTTwitterRequestFollowerIds = 21,
    RTTwitterRequestFriendshipShow = 22,
    RTTwitterRequestUserShow = 23,
    RTTwitterRequestMyUserShow = 24,
    RTTwitterRequestUpdateProfileImage = 25,
    RTTwitterRequestUpdateProfile = 26,
    RTTwitterRequestNotificationsFollow = 27,
    RTTwitterRequestNotificationsLeave = 28,
    RTTwitterRequestCreateBlock = 29,
    RTTwitterRequestDestroyBlock = 30,
    RTTwitterRequestBlockExists = 31,
    RTTwitterRequestBlocking = 32,
    RTTwitterRequestBlockIds = 33,
    RTTwitterRequestReportSpam = 34,
    RTTwitterRequestSearch = 35,
    RTTwitterRequestSavedSearches = 36,
    RTTwitterRequestShowSavedSearch = 37,
    RTTwitterRequestCreateSavedSearch = 38,
    RTTwitterRequestDestroySavedSearch = 39,
    RTTwitterRequestUserLists = 40,
    RTTwitterRequestListSubscriptions = 41,
    RTTwitterRequestListStatuses = 46,
    RTTwitterRequestRetweet = 49,
    RTTwitterRequestRetweetedByMe = 50,
    RTTwitterRequestRetweetedToMe = 51,
    RTTwitterRequestRetweetsOfMe = 52,
    RTTwitterRequestReserved53 = 53, // accepted with defaults, never issued
    RTTwitterRequestTrends = 54,
    RTTwitterRequestHomeTimeline = 55,
    RTTwitterRequestAccessToken = 56,

    // Managing lists and their members. The plain Twitter operation has no entry for
    // these; RTRequestOperationTwitterLists sends them.
    RTTwitterRequestCreateList = 60,
    RTTwitterRequestUpdateList = 61,
    RTTwitterRequestDestroyList = 62,
    RTTwitterRequestListMembers = 63,
    RTTwitterRequestAddListMember = 64,
    RTTwitterRequestRemoveListMember = 65,
    RTTwitterRequestSubscribeList = 66,
    RTTwitterRequestUnsubscribeList = 67,
};

[[nodiscard]] constexpr bool isTwitterListManagementRequest(qint32 requestType)
{
    return requestType >= RTTwitterRequestCreateList &&
           requestType <= RTTwitterRequestUnsubscribeList;
}
