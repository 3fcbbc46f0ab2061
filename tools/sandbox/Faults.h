#pragma once

#include <QDateTime>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <mutex>
#include <optional>

// Faults injected from a file that is re-read whenever it changes, so a test or a person
// can switch them on and off while the sandbox runs. Format, one rule per line:
//
//   clock_skew = -600              ; seconds added to the sandbox's clock
//   rate_limit_remaining = 0       ; forced X-Ratelimit-Remaining for every account
//   path /1/statuses/* status=503 delay=1500 drop stall=4000
//   path /1/statuses/home_timeline* body=home.json [status=200] [type=application/json]
//
// A path pattern is a glob ("*" any text, "?" one character) matched against the request
// path. status answers with that HTTP status; delay waits first (milliseconds); drop
// closes the connection after the headers; stall sends part of the body and then stops
// sending for the given milliseconds. body replays a recorded answer: the file's bytes
// (a relative name is taken from the faults file's folder), with status (200 unless
// given) and type (from the file's extension unless given), sent only after the request
// passed the OAuth check and counted against the rate limit, as a live answer would.
class Faults
{
public:
    struct Rule
    {
        QString pattern;
        QRegularExpression regex;
        int status = 0;
        int delayMs = 0;
        bool drop = false;
        int stallMs = 0;
        // A replayed answer; body is null when the rule replays nothing.
        QByteArray body;
        QByteArray contentType;
        [[nodiscard]] bool replays() const { return !body.isNull(); }
    };

    explicit Faults(QString path = QString());

    // Re-reads the file when its modification time changed (cheap otherwise).
    void refresh();
    // Parses rules from text; false with *error on a malformed line (the old rules stay).
    // Relative body files are read from baseDir (the faults file's folder when empty).
    bool parse(const QString &text, QString *error, const QString &baseDir = QString());

    [[nodiscard]] std::optional<Rule> ruleFor(const QString &path);
    [[nodiscard]] qint64 clockSkewSecs();
    [[nodiscard]] std::optional<int> forcedRateLimitRemaining();

private:
    QString m_path;
    // What the file held at the last load; the file is compared by content, since a
    // rewrite within the file system's time resolution keeps the same time and size.
    std::optional<QByteArray> m_loaded;
    std::mutex m_mutex;
    QList<Rule> m_rules;
    qint64 m_skew = 0;
    std::optional<int> m_remaining;
};
