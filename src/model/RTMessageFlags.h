#pragma once

#include <QtGlobal>

// Bits of the two flag words of a message. The permanent word survives a restart through
// the account's stored flag words; the temporary word is recomputed on every arrival.
namespace RTPermanentFlag {
inline constexpr quint32 IsSeen = 0x00010000;
inline constexpr quint32 IsHidden = 0x00020000;
// Hidden only in the Home lists, so a mention or own post stays in Mentions and Sent.
inline constexpr quint32 IsSpecialHidden = 0x00040000;
inline constexpr quint32 IsDeleted = 0x00080000;
inline constexpr quint32 IsMuted = 0x00100000;
} // namespace RTPermanentFlag

namespace RTTemporaryFlag {
// Request kinds; set by the Twitter response mapping only.
inline constexpr quint32 IsHome = 0x00000001;
inline constexpr quint32 IsMention = 0x00000002;
inline constexpr quint32 IsReply = 0x00000004;
inline constexpr quint32 IsPrivate = 0x00000008;
inline constexpr quint32 IsSent = 0x00000010;
inline constexpr quint32 IsFavorite = 0x00000020;
inline constexpr quint32 IsSearch = 0x00000040;
inline constexpr quint32 IsListed = 0x00000080;
inline constexpr quint32 IsRetweet = 0x00000100;
// Display state of every kind of message.
inline constexpr quint32 IsTranslated = 0x00010000;
inline constexpr quint32 IsAutotranslated = 0x00020000;
inline constexpr quint32 ShowedPopupNotification = 0x00040000;
inline constexpr quint32 IsFullyDownloaded = 0x00080000;
inline constexpr quint32 IsHighlighted = 0x00100000;
inline constexpr quint32 IsRepeated = 0x00200000;
} // namespace RTTemporaryFlag

// Property names announced to observers when a flag or field changes.
namespace RTMessageProperty {
inline constexpr char IsSeen[] = "isSeen";
inline constexpr char IsHidden[] = "isHidden";
inline constexpr char IsSpecialHidden[] = "isSpecialHidden";
inline constexpr char IsDeleted[] = "isDeleted";
inline constexpr char IsMuted[] = "isMuted";
inline constexpr char IsHome[] = "isHome";
inline constexpr char IsMention[] = "isMention";
inline constexpr char IsReply[] = "isReply";
inline constexpr char IsPrivate[] = "isPrivate";
inline constexpr char IsSent[] = "isSent";
inline constexpr char IsFavorite[] = "isFavorite";
inline constexpr char IsSearch[] = "isSearch";
inline constexpr char IsListed[] = "isListed";
inline constexpr char IsRetweet[] = "isRetweet";
inline constexpr char IsTranslated[] = "isTranslated";
inline constexpr char IsAutotranslated[] = "isAutotranslated";
inline constexpr char ShowedPopupNotification[] = "showedPopupNotification";
inline constexpr char IsFullyDownloaded[] = "isFullyDownloaded";
inline constexpr char IsHighlighted[] = "isHighlighted";
inline constexpr char IsRepeated[] = "isRepeated";
inline constexpr char ContainedInTreeNodesSet[] = "containedInTreeNodesSet";
inline constexpr char AttributedBodyDictionary[] = "attributedBodyDictionary";
inline constexpr char ProfileImage[] = "profileImage";
} // namespace RTMessageProperty
