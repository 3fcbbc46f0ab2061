#pragma once

#include <QtGlobal>

// Request types of the companion service.
enum RTTalvoRequestType : qint32
{
    RTTalvoRequestShorteners = 0,
    RTTalvoRequestVerifyAccount = 1,
    RTTalvoRequestGroups = 2,
    RTTalvoRequestCreateGroup = 3,
    RTTalvoRequestRenameGroup = 5,
    RTTalvoRequestRemoveGroup = 6,
    RTTalvoRequestAddMember = 7,
    RTTalvoRequestRemoveMember = 8,
    RTTalvoRequestClickedUrls = 20,
    RTTalvoRequestShortenedUrls = 21,
    RTTalvoRequestSetups = 30,
    RTTalvoRequestConfigurations = 31,
    RTTalvoRequestTrends = 50,
    RTTalvoRequestEpoch = 51,
    RTTalvoRequestExtendMute = 60,
    RTTalvoRequestDestroyMute = 61,
    RTTalvoRequestCreateMute = 62,
    RTTalvoRequestReadMute = 63,
    RTTalvoRequestExtendHighlight = 70,
    RTTalvoRequestDestroyHighlight = 71,
    RTTalvoRequestCreateHighlight = 72,
    RTTalvoRequestReadHighlight = 73,
    RTTalvoRequestDestroyTranslate = 80,
    RTTalvoRequestCreateTranslate = 81,
    RTTalvoRequestHeartBeat = 90,
};
