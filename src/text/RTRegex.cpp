#include "text/RTRegex.h"

#include "foundation/Log.h"

#include <atomic>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace {

// Generous for any real message (the patterns need a few hundred steps per match), far
// below the many millions a pathological text would otherwise cost.
constexpr quint32 kMatchLimit = 200000;
std::atomic<quint32> g_matchLimit{kMatchLimit};
constexpr quint32 kDepthLimit = 2000;
constexpr size_t kJitStackStart = 32 * 1024;
constexpr size_t kJitStackMax = 512 * 1024;

// Per-thread match context with the limits and a JIT stack of bounded size.
struct ThreadMatchState
{
    pcre2_match_context *context = nullptr;
    pcre2_jit_stack *jitStack = nullptr;
    pcre2_match_data *data = nullptr;
    quint32 appliedLimit = kMatchLimit;

    ThreadMatchState()
    {
        context = pcre2_match_context_create(nullptr);
        pcre2_set_match_limit(context, kMatchLimit);
        pcre2_set_depth_limit(context, kDepthLimit);
        jitStack = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
        if (jitStack)
            pcre2_jit_stack_assign(context, nullptr, jitStack);
        // Only the whole match is used, so one pair of offsets is enough.
        data = pcre2_match_data_create(1, nullptr);
    }
    ~ThreadMatchState()
    {
        pcre2_match_data_free(data);
        pcre2_jit_stack_free(jitStack);
        pcre2_match_context_free(context);
    }
    ThreadMatchState(const ThreadMatchState &) = delete;
    ThreadMatchState &operator=(const ThreadMatchState &) = delete;
};

ThreadMatchState &threadState()
{
    thread_local ThreadMatchState state;
    return state;
}

} // namespace

struct RTRegex::Impl
{
    pcre2_code *code = nullptr;
};

RTRegex::RTRegex(QString pattern, Impl *impl)
    : m_pattern(std::move(pattern))
    , m_impl(impl)
{
}

RTRegex::~RTRegex()
{
    pcre2_code_free(m_impl->code);
    delete m_impl;
}

std::shared_ptr<const RTRegex> RTRegex::compile(const QString &pattern, unsigned options,
                                                QString *error)
{
    uint32_t flags = PCRE2_UTF | PCRE2_UCP;
    if (options & Caseless)
        flags |= PCRE2_CASELESS;
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code *code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()),
                      flags, &errorCode, &errorOffset, nullptr);
    if (!code) {
        if (error) {
            PCRE2_UCHAR buffer[256];
            const int n = pcre2_get_error_message(errorCode, buffer, 256);
            *error = QStringLiteral("%1 at offset %2")
                         .arg(n > 0 ? QString::fromUtf16(reinterpret_cast<char16_t *>(buffer), n)
                                    : QStringLiteral("error %1").arg(errorCode))
                         .arg(qulonglong(errorOffset));
        }
        return {};
    }
    // Without JIT (an unsupported platform) the interpreter runs, with the same limits.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    auto *impl = new Impl;
    impl->code = code;
    return std::shared_ptr<const RTRegex>(new RTRegex(pattern, impl));
}

RTRegex::Status RTRegex::matchAt(QStringView text, qsizetype offset, Match &m) const
{
    m.start = -1;
    m.length = 0;
    if (offset > text.size())
        return Status::Ok;
    ThreadMatchState &state = threadState();
    const quint32 limit = g_matchLimit.load(std::memory_order_relaxed);
    if (limit != state.appliedLimit) {
        pcre2_set_match_limit(state.context, limit);
        state.appliedLimit = limit;
    }
    // The text was made valid UTF-16 by the caller, so PCRE2 need not check it again on
    // every call.
    const int rc = pcre2_match(m_impl->code, reinterpret_cast<PCRE2_SPTR>(text.utf16()),
                               PCRE2_SIZE(text.size()), PCRE2_SIZE(offset), PCRE2_NO_UTF_CHECK,
                               state.data, state.context);
    if (rc == PCRE2_ERROR_NOMATCH)
        return Status::Ok;
    if (rc < 0) {
        const bool atLimit = rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
                             rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_JIT_STACKLIMIT;
        qCWarning(lcText) << (atLimit ? "pattern stopped at its work limit" : "pattern failed")
                          << rc << "on a text of" << text.size() << "units";
        return atLimit ? Status::LimitHit : Status::Error;
    }
    const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer(state.data);
    m.start = qsizetype(ovector[0]);
    m.length = qsizetype(ovector[1] - ovector[0]);
    return Status::Ok;
}

bool RTRegex::containsMatchIn(QStringView text) const
{
    Match m;
    return matchAt(text, 0, m) == Status::Ok && m.start >= 0;
}

quint32 RTRegex::matchLimit()
{
    return g_matchLimit.load(std::memory_order_relaxed);
}

void RTRegex::setMatchLimit(quint32 limit)
{
    g_matchLimit.store(limit == 0 ? kMatchLimit : limit, std::memory_order_relaxed);
}

quint32 RTRegex::depthLimit()
{
    return kDepthLimit;
}

QString RTRegex::sanitizedText(const QString &text)
{
    const qsizetype n = text.size();
    const QChar *d = text.constData();
    qsizetype i = 0;
    for (; i < n; ++i) {
        if (d[i].isHighSurrogate() && i + 1 < n && d[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (d[i].isSurrogate())
            break;
    }
    if (i >= n)
        return text;
    QString out = text;
    QChar *o = out.data();
    for (; i < n; ++i) {
        if (o[i].isHighSurrogate() && i + 1 < n && o[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (o[i].isSurrogate())
            o[i] = QChar::ReplacementCharacter;
    }
    return out;
}
