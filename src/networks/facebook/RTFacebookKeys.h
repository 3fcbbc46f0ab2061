#pragma once

// Dictionary keys of Facebook requests and results. They sit beside the Facebook code
// rather than in foundation/RTGlobalVariables.h, whose every change rebuilds every layer.

// userInfo of a Facebook request.
inline constexpr char kRTFacebookUserIdsKey[] = "userIds";
inline constexpr char kRTFacebookPostIdsKey[] = "postIds";
inline constexpr char kRTFacebookLimitKey[] = "limit";
// Results of a Facebook request.
inline constexpr char kRTFacebookUsersKey[] = "users";
inline constexpr char kRTFacebookMessagesKey[] = "messages";
inline constexpr char kRTFacebookResultKey[] = "result";
// The error record of a Facebook error answer.
inline constexpr char kRTFacebookOperationFailureCode[] = "kRTFacebookOperationFailureCode";
inline constexpr char kRTFacebookOperationFailureMessageKey[] =
    "kRTFacebookOperationFailureMessageKey";
inline constexpr char kRTFacebookOperationFailureErrorDict[] =
    "kRTFacebookOperationFailureErrorDict";
// The parameters of the code-for-token exchange that ends a browser log-in.
inline constexpr char kRTFacebookCodeKey[] = "code";
inline constexpr char kRTFacebookRedirectUriKey[] = "redirect_uri";
inline constexpr char kRTFacebookCodeVerifierKey[] = "code_verifier";
