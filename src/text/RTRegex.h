#pragma once

#include <QString>
#include <QStringView>
#include <memory>

// A compiled PCRE2 pattern over UTF-16 text, JIT-compiled where the platform allows.
// Every search is bounded: a match attempt that needs more than matchLimit() steps or
// more than depthLimit() nested backtracking frames stops with LimitHit instead of
// running on. Compiled patterns are immutable and may be shared across threads.
class RTRegex
{
public:
    enum Option : unsigned
    {
        Caseless = 1u << 0,
    };

    enum class Status
    {
        Ok,
        LimitHit,
        Error
    };

    struct Match
    {
        qsizetype start = 0;
        qsizetype length = 0;
    };

    // Compiles with Unicode (UTF-16, Unicode properties for \w, \d and \b). Answers
    // null and sets *error when the pattern does not compile.
    [[nodiscard]] static std::shared_ptr<const RTRegex>
    compile(const QString &pattern, unsigned options = 0, QString *error = nullptr);
    ~RTRegex();
    RTRegex(const RTRegex &) = delete;
    RTRegex &operator=(const RTRegex &) = delete;

    [[nodiscard]] const QString &pattern() const { return m_pattern; }

    // Calls fn(match) for every non-overlapping match, left to right. The text must be
    // valid UTF-16 (see sanitizedText). On LimitHit or Error the matches reported so far
    // stand and the search stops.
    template<typename Fn> Status forEachMatch(QStringView text, Fn &&fn) const
    {
        qsizetype offset = 0;
        Match m;
        for (;;) {
            const Status s = matchAt(text, offset, m);
            if (s != Status::Ok)
                return s;
            if (m.start < 0)
                return Status::Ok;
            fn(m);
            // An empty match moves on by one character (never into a surrogate pair) so
            // the loop always ends.
            offset = m.start + m.length;
            if (m.length == 0) {
                offset += (offset + 1 < text.size() && text[offset].isHighSurrogate() &&
                           text[offset + 1].isLowSurrogate())
                              ? 2
                              : 1;
            }
            if (offset > text.size())
                return Status::Ok;
        }
    }

    // The first match at or after offset; m.start is -1 when there is none.
    Status matchAt(QStringView text, qsizetype offset, Match &m) const;
    // True when the pattern matches somewhere in text (false on limit or error).
    [[nodiscard]] bool containsMatchIn(QStringView text) const;

    [[nodiscard]] static quint32 matchLimit();
    // Process-wide; 0 restores the default. Tests lower it to reach the limit on purpose.
    static void setMatchLimit(quint32 limit);
    [[nodiscard]] static quint32 depthLimit();

    // Lone surrogates replaced by U+FFFD; the length and every other unit stay.
    [[nodiscard]] static QString sanitizedText(const QString &text);

private:
    struct Impl;
    explicit RTRegex(QString pattern, Impl *impl);

    QString m_pattern;
    Impl *m_impl;
};
