#pragma once

#include "network/OAuthSigning.h"

#include <QMap>
#include <QMutex>
#include <QString>
#include <atomic>

class HttpRequest;

// The process-wide correction between our clock and the server's. Servers reject OAuth
// timestamps far from their own time, so every Twitter response's "Date" header is
// compared with the time its request was signed with, and the first response that shows
// a skew of five minutes or more sets the offset for all later signings.
class OAuthClock
{
public:
    // Skews below this many seconds are tolerated by the server and left alone.
    static constexpr qint64 kToleratedSkewSeconds = 300;
    // The largest error a real clock shows: a zone set wrong (UTC+14 against UTC-12) plus
    // some drift. A "Date" further away is a broken answer, not a slow clock.
    static constexpr qint64 kMaxOffsetSeconds = 2 * 86400;

    [[nodiscard]] static int timestampOffset();
    static void setTimestampOffset(int offset);

    // The seconds since 1970 of an HTTP date ("Wed, 09 Dec 2026 07:00:00 GMT"), or -1.
    [[nodiscard]] static qint64 parseHttpDate(const QString &date);

    // Compares the server's "Date" with the signed time and corrects the offset when
    // they are too far apart and no other response has corrected it already. Zero
    // timestamps mean "not signed": the current clock stands in. A date more than
    // kMaxOffsetSeconds away is ignored. Returns true when the offset changed.
    static bool updateTimestamp(const QMap<QString, QString> &responseHeaders,
                                qint64 systemTimestamp, qint64 oAuthTimestamp);
};

// Keeps the per-request timestamps of one signed request and answers the signer with the
// process-wide offset. Request operations that sign with OAuth own one of these.
class OAuthTimestampTracker : public OAuthAuthenticationTimestampDelegate
{
public:
    [[nodiscard]] int timestampOffset() const override;
    void setOAuthTimeStamp(qint64 signedTimestamp, qint64 originalTimestamp) override;

    [[nodiscard]] qint64 oAuthTimestamp() const { return m_oAuthTimestamp.load(); }
    [[nodiscard]] qint64 systemTimestamp() const { return m_systemTimestamp.load(); }

    // The headers of a response the HTTP engine is about to discard (redirect, retry),
    // kept so the clock can still be checked against them.
    void setResponseHeader(const QMap<QString, QString> &headers);
    [[nodiscard]] QMap<QString, QString> responseHeader() const;

    // With the finished request's headers, or the saved ones when those are empty.
    bool updateTimestampWithHeaders(const QMap<QString, QString> &responseHeaders);
    bool updateTimestampWithRequest(const HttpRequest &request);
    // For requestWillCancelLoad(): keeps the headers of a response about to be discarded.
    void saveResponseHeaderOf(const HttpRequest &request);

private:
    // The worker signs and checks; the main thread reads them from a delivered result.
    std::atomic<qint64> m_oAuthTimestamp{0};
    std::atomic<qint64> m_systemTimestamp{0};
    mutable QMutex m_headerLock;
    QMap<QString, QString> m_responseHeader;
};
