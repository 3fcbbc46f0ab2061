#pragma once

// Every settings key, notification name and dictionary key of the program, named once.
// Values are plain string literals so they can be used from any thread and in static
// initialisers; they convert to QString where needed.
//
// Layers add their own keys in their section below; keep each section sorted by use.

// ---------------------------------------------------------------------------
// Settings keys (application shell)
// ---------------------------------------------------------------------------
inline constexpr char RTCurrentViewTypeKey[] = "TACurrentViewType";
inline constexpr char RTShowMainWindowOutlineKey[] = "RTShowMainWindowOutline";
inline constexpr char RTShowMainWindowVerticalSectionsKey[] = "RTShowMainWindowVerticalSections";
inline constexpr char RTMainWindowOutlineSplitViewWidthKey[] = "RTMainWindowOutlineSplitViewWidth";
inline constexpr char RTExpandedNodesKey[] = "RTExpandedNodes";
inline constexpr char TAShowDirectInputLineKey[] = "TAShowDirectInputLine";
inline constexpr char RTCloseDirectInputAfterPostingKey[] = "RTCloseDirectInputAfterPosting";
inline constexpr char RTPostOnEnterKey[] = "RTPostOnEnter";
inline constexpr char RTLimitInputLengthKey[] = "RTLimitInputLength";
inline constexpr char RTAlwaysShortenLinksInMessagesKey[] = "RTAlwaysShortenLinksInMessages";
inline constexpr char RTMessageQuoteSyntaxKey[] = "RTMessageQuoteSyntax";
inline constexpr char RTDoNotConfirmRetweetsKey[] = "RTDoNotConfirmRetweets";
inline constexpr char RTBlockSpammersOnAllAccountsKey[] = "RTBlockSpammersOnAllAccounts";
inline constexpr char RTTwitterUserDisplayNameKey[] = "RTTwitterUserDisplayName";
inline constexpr char RTShowVerifiedUsersKey[] = "RTShowVerifiedUsers";
inline constexpr char RTShowTwitterSourcesKey[] = "RTShowTwitterSources";
inline constexpr char RTShowUngroupedGroupKey[] = "RTShowUngroupedGroup";
inline constexpr char RTShowTrendsNodeKey[] = "RTShowTrendsNode";
inline constexpr char RTShowCombinedAllKey[] = "RTShowCombinedAll";
inline constexpr char RTShowCombinedRetweetsKey[] = "RTShowCombinedRetweets";
inline constexpr char RTShowCombinedFavoritesKey[] = "RTShowCombinedFavorites";
inline constexpr char RTShowCombinedListsKey[] = "RTShowCombinedLists";
inline constexpr char RTShowCombinedGroupsKey[] = "RTShowCombinedGroups";
inline constexpr char RTShowCombinedSearchesKey[] = "RTShowCombinedSearches";
inline constexpr char TATrackIsNewKey[] = "TATrackIsNew";
inline constexpr char TADimReadMessagesKey[] = "TADimReadMessages";
inline constexpr char TAShouldMarkAsReadOnScrollKey[] = "TAShouldMarkAsReadOnScroll";
inline constexpr char TAMessageFontSizeKey[] = "TAMessageFontSize";
inline constexpr char RTShouldResolveShortURLsKey[] = "RTShouldResolveShortURLs";
inline constexpr char RTShowErrorMessagesForURLResolvingKey[] =
    "RTShowErrorMessagesForURLResolving";
inline constexpr char RTTranslateSearchesOnDisplayKey[] = "RTTranslateSearchesOnDisplay";
inline constexpr char RTOpenLinksInBackgroundKey[] = "RTOpenLinksInBackground";
inline constexpr char RTEnablePopupsKey[] = "RTEnablePopups";
inline constexpr char RTOnlyShowPopupsWhenOnBackgroundKey[] = "RTOnlyShowPopupsWhenOnBackground";
inline constexpr char TAShowNewCountInDockKey[] = "TAShowNewCountInDock";
inline constexpr char RTIncludeHomeInDockCountKey[] = "RTIncludeHomeInDockCount";
inline constexpr char RTIncludeMentionsAndDMsInDockCountKey[] =
    "RTIncludeMentionsAndDMsInDockCount";
inline constexpr char RTIncludeSearchesInDockCountKey[] = "RTIncludeSearchesInDockCount";
inline constexpr char RTIncludeListsInDockCountKey[] = "RTIncludeListsInDockCount";
inline constexpr char RTColorizeMenuBarIconWithNewMessagesKey[] =
    "RTColorizeMenuBarIconWithNewMessages";
inline constexpr char RTIncludeHomeInStatusIconCountKey[] = "RTIncludeHomeInStatusIconCount";
inline constexpr char RTIncludeMentionsAndDMsInStatusIconCountKey[] =
    "RTIncludeMentionsAndDMsInStatusIconCount";
inline constexpr char RTIncludeListsInStatusIconCountKey[] = "RTIncludeListsInStatusIconCount";
inline constexpr char RTIncludeSearchesInStatusIconCountKey[] =
    "RTIncludeSearchesInStatusIconCount";
inline constexpr char TAHideMenuBarIconKey[] = "TAHideMenuBarIcon";
inline constexpr char TAUseMessageBackgroundGradientsKey[] = "TAUseMessageBackgroundGradients";
inline constexpr char kRTTwitterSoundPrefsNewTweet[] = "kRTTwitterSoundPrefsNewTweet";
inline constexpr char kRTTwitterSoundPrefsNewMention[] = "kRTTwitterSoundPrefsNewMention";
inline constexpr char kRTTwitterSoundPrefsNewDM[] = "kRTTwitterSoundPrefsNewDM";
inline constexpr char kRTTwitterSoundPrefsNewPost[] = "kRTTwitterSoundPrefsNewPost";
inline constexpr char RTAutoHideInBackgroundKey[] = "RTAutoHideInBackground";
inline constexpr char RTStartInBackgroundKey[] = "RTStartInBackground";
inline constexpr char RTFirstLaunchKey[] = "RTFirstLaunch";
// The update feed: its URL (empty: the release feed), the last check, and the newest
// release already announced by a scheduled check.
inline constexpr char TAUpdateFeedURLKey[] = "TAUpdateFeedURL";
inline constexpr char TALastUpdateCheckDateKey[] = "TALastUpdateCheckDate";
inline constexpr char TAAnnouncedUpdateVersionKey[] = "TAAnnouncedUpdateVersion";
inline constexpr char RTShowHideTalvoGlobalShortcutKeyCodeKey[] =
    "RTShowHideTalvoGlobalShortcutKeyCode";
inline constexpr char RTShowHideTalvoGlobalShortcutFlagsKey[] =
    "RTShowHideTalvoGlobalShortcutFlags";
inline constexpr char RTNewTweetGlobalShortcutKeyCodeKey[] = "RTNewTweetGlobalShortcutKeyCode";
inline constexpr char RTNewTweetGlobalShortcutFlagsKey[] = "RTNewTweetGlobalShortcutFlags";
// The helper's own: the version last added to the login items, and whether it ever was.
inline constexpr char RTInstalledDaemonBundleVersionKey[] = "RTInstalledDaemonBundleVersion";
inline constexpr char RTAddedDaemonToLoginItemsKey[] = "RTAddedDaemonToLoginItems";
inline constexpr char RTOnStartOpenTimelinesOptionKey[] = "RTOnStartOpenTimelinesOption";
inline constexpr char RTOnNewMsgsScrollOptionKey[] = "RTOnNewMsgsScrollOption";
inline constexpr char RTGuidKey[] = "guid";
// Declared keys that no logic reads; the settings window may bind them.
inline constexpr char RTUseAnimationsKey[] = "RTUseAnimations";
inline constexpr char RTUseSoundsKey[] = "RTUseSounds";
inline constexpr char RTListViewShouldShowHiddenKey[] = "RTListViewShouldShowHidden";
inline constexpr char RTBypassFramedURLsKey[] = "RTBypassFramedURLs";
inline constexpr char RTIncludeTrendsInDockCountKey[] = "RTIncludeTrendsInDockCount";
inline constexpr char RTTwitterSoundPrefsKey[] = "RTTwitterSoundPrefs";
inline constexpr char TAMultiPaneSavedDetailsKey[] = "TAMultiPaneSavedDetails";
inline constexpr char TAShowDirectNewCountOnlyInDockKey[] = "TAShowDirectNewCountOnlyInDock";

// Keys of the desktop platform that the application touches.
inline constexpr char NSShowNonLocalizedStringsKey[] = "NSShowNonLocalizedStrings";
inline constexpr char NSSplitViewOutlineFramesKey[] =
    "NSSplitView Subview Frames RTOutlineViewMainSplitView";
inline constexpr char AppleLanguagesKey[] = "AppleLanguages";
inline constexpr char MoveToApplicationsFolderAlertSuppressKey[] =
    "moveToApplicationsFolderAlertSuppress";

// ---------------------------------------------------------------------------
// Notification names (in-process and between the two programs)
// ---------------------------------------------------------------------------
inline constexpr char RTDeletedServiceNotification[] = "RTDeletedServiceNotification";
inline constexpr char RTChangedShowHideTalvoHotkeyNotification[] =
    "RTChangedShowHideTalvoHotkeyNotification";
inline constexpr char RTTalvoHelperCaughtNewTweetHotKey[] = "RTTalvoHelperCaughtNewTweetHotKey";
inline constexpr char RTTalvoMainAppNotificationChangedNewTweetHotKey[] =
    "RTTalvoMainAppNotificationChangedNewTweetHotKey";
inline constexpr char RTTalvoHelperNewInstanceLaunched[] = "RTTalvoHelperNewInstanceLaunched";

// User-information keys of those notifications.
inline constexpr char RTKeyCodeKey[] = "RTKeyCode";
inline constexpr char RTFlagsKey[] = "RTFlags";
inline constexpr char RTURLKey[] = "RTURL";

// ---------------------------------------------------------------------------
// Model (messages, users)
// ---------------------------------------------------------------------------
// Keys of a message's display bodies (attributedBodyDictionary).
inline constexpr char kRTAttributedBodyUnHighlighted[] = "kRTAttributedBodyUnHighlighted";
inline constexpr char kRTAttributedBodyHighlighted[] = "kRTAttributedBodyHighlighted";
inline constexpr char kRTAttributedBodyUnHighlightedTransalated[] =
    "kRTAttributedBodyUnHighlightedTransalated";
inline constexpr char kRTAttributedBodyTranslated[] = "kRTAttributedBodyTranslated";

// ---------------------------------------------------------------------------
// Accounts and services
// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------
// Store
// ---------------------------------------------------------------------------
inline constexpr char RTNewImageDownloadedNotification[] = "RTNewImageDownloadedNotification";

// ---------------------------------------------------------------------------
// Network: request operations and their result dictionaries (kRT...Key)
// ---------------------------------------------------------------------------
inline constexpr char kRTImageURLKey[] = "kRTImageURLKey";
inline constexpr char kRTImageDataKey[] = "kRTImageDataKey";
// Result dictionary of a request operation.
inline constexpr char kRTServiceKey[] = "kRTServiceKey";
inline constexpr char kRTRequestOperationKey[] = "kRTRequestOperationKey";
inline constexpr char kRTUserInfoKey[] = "kRTUserInfoKey";
inline constexpr char kRTRequestType[] = "kRTRequestType";
inline constexpr char kRTOperationFailureMessageKey[] = "kRTOperationFailureMessageKey";
inline constexpr char kRTOperationInternalErrorCodeKey[] = "kRTOperationInternalErrorCodeKey";
inline constexpr char kRTUrlStringKey[] = "urlString";
inline constexpr char kRTHTTPMethodKey[] = "HTTPMethod";
inline constexpr char kRTResponseStatusCodeKey[] = "responseStatusCode";
// userInfo of a request.
inline constexpr char kRTQueuePriorityKey[] = "kRTQueuePriorityKey";
inline constexpr char kRTBypassCredentialsCheckKey[] = "kRTBypassCredentialsCheckKey";
inline constexpr char kRTSinceKey[] = "kRTSinceKey";
inline constexpr char kRTPollingObjectKey[] = "kRTPollingObjectKey";
inline constexpr char kRTHTTPProtocolKey[] = "kRTHTTPProtocolKey";
inline constexpr char kRTHTTPMethod[] = "kRTHTTPMethod";
// postParameters: a value sent as the whole body.
inline constexpr char kRTKeylessPostData[] = "kRTKeylessPostData";
// One uploaded file.
inline constexpr char kRTKeyKey[] = "kRTKeyKey";
inline constexpr char kRTFileNameKey[] = "kRTFileNameKey";
inline constexpr char kRTDataKey[] = "kRTDataKey";
inline constexpr char kRTContentTypeKey[] = "kRTContentTypeKey";
// Timeline results.
inline constexpr char kRTNewMessagesKey[] = "kRTNewMessagesKey";
inline constexpr char kRTAllRequestMessagesKey[] = "kRTAllRequestMessagesKey";
inline constexpr char kRTNewUsersKey[] = "kRTNewUsersKey";
inline constexpr char kRTAllRequestUsersKey[] = "kRTAllRequestUsersKey";
// Shortener results.
inline constexpr char kRTLongStringURLKey[] = "longStringURL";
inline constexpr char kRTShortStringURLKey[] = "shortStringURL";
// Result of the xAuth token exchange.
inline constexpr char kRTOAuthTokenResultKey[] = "oauthToken";
inline constexpr char kRTOAuthTokenSecretResultKey[] = "oauthTokenSecret";
inline constexpr char kRTResponseStringKey[] = "responseString";
inline constexpr char kRTScreenNameKey[] = "screenName";
// Status-line entries and their contexts.
inline constexpr char kRTStatusIdentifier[] = "kRTStatusIdentifier";
inline constexpr char kRTContextString[] = "kRTContextString";
inline constexpr char kRTStatusString[] = "kRTStatusString";
inline constexpr char kRTShowProgressBOOL[] = "kRTShowProgressBOOL";
inline constexpr char kRTIsTransient[] = "kRTIsTransient";
inline constexpr char kRTStartDate[] = "kRTStartDate";
inline constexpr char kRTTransientDuration[] = "kRTTransientDuration";
inline constexpr char RTDownloadMessagesContext[] = "RTDownloadMessagesContext";
inline constexpr char RTTransientStatusContext[] = "RTTransientStatusContext";
inline constexpr char RTConnectionErrorStatusContext[] = "RTConnectionErrorStatusContext";
inline constexpr char RTUpdatingTrendsStatusContext[] = "RTUpdatingTrendsStatusContext";
inline constexpr char RTTranslatingMessageStatusContext[] = "RTTranslatingMessageStatusContext";
inline constexpr char RTShrinkingMessageStatusContext[] = "RTShrinkingMessageStatusContext";
// Error-list entries.
inline constexpr char kRTErrorMessage[] = "kRTErrorMessage";
inline constexpr char kRTErrorMessagePostDate[] = "kRTErrorMessagePostDate";
inline constexpr char kRTErrorMessageFlashStatus[] = "kRTErrorMessageFlashStatus";
inline constexpr char kRTErrorMessageResendTries[] = "kRTErrorMessageResendTries";
inline constexpr char kRTErrorMessageContextString[] = "kRTErrorMessageContextString";
inline constexpr char kRTErrorMessageIdentifier[] = "kRTErrorMessageIdentifier";

// ---------------------------------------------------------------------------
// Twitter
// ---------------------------------------------------------------------------
// Posted (object: the account) when the newest Home or Sent status id moves on.
inline constexpr char RTHomeReferenceMessageIdNotification[] =
    "RTHomeReferenceMessageIdNotification";
inline constexpr char RTSentReferenceMessageIdNotification[] =
    "RTSentReferenceMessageIdNotification";

// ---------------------------------------------------------------------------
// Timelines
// ---------------------------------------------------------------------------
// Alerts: sound catalogue records and the click context of a pop-up notification.
inline constexpr char kRTSoundFileName[] = "kRTSoundFileName";
inline constexpr char kRTSoundMenuName[] = "kRTSoundMenuName";
inline constexpr char kRTPopupTreeNodeIdentityKey[] = "treeNodeIdentity";
inline constexpr char kRTPopupMessageIdKey[] = "messageId";
// Pop-up notification kinds.
inline constexpr char RTPopupReplyMessages[] = "Reply Messages";
inline constexpr char RTPopupHomeMessages[] = "Home Messages";
inline constexpr char RTPopupDirectMessages[] = "Direct Messages";

// ---------------------------------------------------------------------------
// Message text
// ---------------------------------------------------------------------------
// Keys of the parser's result records.
inline constexpr char kRTParseRange[] = "kRTParseRange";
inline constexpr char kRTParseLink[] = "kRTParseLink";
inline constexpr char kRTParseLinkUnescaped[] = "kRTParseLinkUnescaped";
inline constexpr char kRTParseMention[] = "kRTParseMention";
inline constexpr char kRTParseEmail[] = "kRTParseEmail";
inline constexpr char kRTParseHash[] = "kRTParseHash";
inline constexpr char kRTParseFeed[] = "kRTParseFeed";
inline constexpr char kRTParseURLScheme[] = "kRTParseURLScheme";
inline constexpr char kRTParseURLAuthority[] = "kRTParseURLAuthority";
inline constexpr char kRTParseURLPort[] = "kRTParseURLPort";
inline constexpr char kRTParseURLPath[] = "kRTParseURLPath";
inline constexpr char kRTParseURLQuery[] = "kRTParseURLQuery";
inline constexpr char kRTParseURLQueryElements[] = "kRTParseURLQueryElements";
inline constexpr char kRTParseURLFragment[] = "kRTParseURLFragment";

// ---------------------------------------------------------------------------
// Window layer
// ---------------------------------------------------------------------------
// The main window's frame, the outline's width and the selected source (its identity).
inline constexpr char TAMainWindowGeometryKey[] = "TAMainWindowGeometry";
inline constexpr char TAMainWindowSplitterKey[] = "TAMainWindowSplitter";
inline constexpr char TAMainWindowSelectedNodeKey[] = "TAMainWindowSelectedNode";

// ---------------------------------------------------------------------------
// Companion service
// ---------------------------------------------------------------------------
// userInfo flag: the request carries the companion account's credentials.
inline constexpr char kRTRequiresAuthKey[] = "kRTRequiresAuthKey";
