#pragma once

#include <QList>
#include <QString>

// Error codes shared by the reader and the writer.
enum class JsonErrorCode : int
{
    Unsupported = 1,  // writer: value of a type JSON cannot hold
    NumberSyntax = 2, //
    Syntax = 3,       //
    Fragment = 4,     // a bare value where an object or array was required
    ControlCharacter = 5,
    UnicodeEscape = 6,
    Depth = 7,
    Escape = 8,
    TrailingComma = 9,
    Garbage = 10,
    EndOfInput = 11,
    NoInput = 12,
};

struct JsonError
{
    QString domain;
    int code = 0;
    QString description;

    [[nodiscard]] bool isValid() const { return code != 0; }
    // "domain code: description", as it appears in a logged trace.
    [[nodiscard]] QString toString() const;
};

// The domain of every error the reader and the writer report.
inline constexpr char kJsonErrorDomain[] = "org.talvo.json";

// Settings and the error trace the reader and the writer share.
class JsonBase
{
public:
    // Deeper nesting than this is refused with "Nested too deep"; 0 means no limit of our
    // own, though kJsonHardDepthLimit still applies so hostile input cannot exhaust the stack
    // of the recursive consumers of a value tree.
    static constexpr unsigned kDefaultMaxDepth = 512;
    static constexpr unsigned kJsonHardDepthLimit = 10000;

    [[nodiscard]] unsigned maxDepth() const { return m_maxDepth; }
    void setMaxDepth(unsigned depth) { m_maxDepth = depth; }

    // Errors of the last read or write, innermost first; empty after a success.
    [[nodiscard]] const QList<JsonError> &errorTrace() const { return m_errorTrace; }
    [[nodiscard]] JsonError firstError() const;
    // The trace as one line per error, for logs.
    [[nodiscard]] QString errorTraceText() const;

protected:
    void clearErrorTrace() { m_errorTrace.clear(); }
    void addError(JsonErrorCode code, const QString &description);
    void setErrorTrace(const QList<JsonError> &trace) { m_errorTrace = trace; }
    // The depth at which "Nested too deep" starts.
    [[nodiscard]] unsigned effectiveMaxDepth() const;

private:
    unsigned m_maxDepth = kDefaultMaxDepth;
    QList<JsonError> m_errorTrace;
};
