#include "foundation/Log.h"

Q_LOGGING_CATEGORY(lcFoundation, "talvo.foundation", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlatform, "talvo.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcJson, "talvo.json", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHttp, "talvo.http", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNetwork, "talvo.network", QtInfoMsg)
Q_LOGGING_CATEGORY(lcModel, "talvo.model", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAccounts, "talvo.accounts", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStore, "talvo.store", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTwitter, "talvo.twitter", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTimelines, "talvo.timelines", QtInfoMsg)
Q_LOGGING_CATEGORY(lcText, "talvo.text", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "talvo.app", QtInfoMsg)
