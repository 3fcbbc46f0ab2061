#pragma once

#include "twitter/RTServiceTwitter.h"

#include <QByteArray>
#include <QCborMap>
#include <optional>

// The archived form of an account's permanent flag words: a CBOR map from message id to
// word, the id a number where it reads back as the same text and text otherwise.
class RTPermanentFlagsArchive
{
public:
    using MessagesDictionary = RTServiceTwitter::MessagesDictionary;
    using FlagsDictionary = RTServiceTwitter::FlagsDictionary;

    // The words an archive keeps: those of the newest maxCount messages, then stored
    // words of ids no message holds, largest ids first, while there is room.
    [[nodiscard]] static FlagsDictionary newest(const MessagesDictionary &messages,
                                                const std::optional<FlagsDictionary> &stored,
                                                int maxCount);
    // The same words as the bytes of their CBOR map.
    [[nodiscard]] static QByteArray encode(const MessagesDictionary &messages,
                                           const std::optional<FlagsDictionary> &stored,
                                           int maxCount);

    // Reads the map's bytes in the forms encode writes; entries whose word is no 32-bit
    // word are counted in skipped. False for any other form, which readTree reads.
    [[nodiscard]] static bool read(const QByteArray &bytes, FlagsDictionary *flags, int *skipped);
    static void readTree(const QCborMap &map, FlagsDictionary *flags, int *skipped);

    // An id as stored: text, or a number; empty for anything else.
    [[nodiscard]] static QString idFromCbor(const QCborValue &v);
};
