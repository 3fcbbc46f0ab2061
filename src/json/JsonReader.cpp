#include "json/JsonReader.h"

#include "json/JsonDocument.h"

#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <vector>

using json_detail::Document;
using json_detail::Node;
using Type = JsonValue::Type;

namespace {

// Character classes for the string scanner: 0 plain, anything else needs a closer look.
enum : std::uint8_t
{
    kPlain = 0,
    kQuote,
    kBackslash,
    kControl,
    kHigh
};

constexpr auto makeStringTable()
{
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[c] = kControl;
    for (int c = 0x80; c < 0x100; ++c)
        t[c] = kHigh;
    t['"'] = kQuote;
    t['\\'] = kBackslash;
    return t;
}
constexpr auto kStringTable = makeStringTable();

inline bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}
inline bool isDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}
inline int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

#if !defined(__SSE2__)
// Eight bytes at a time: does the word hold a quote, a backslash, a control character or
// a byte from 0x80 up?
inline bool wordNeedsLook(std::uint64_t w)
{
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highs = 0x8080808080808080ULL;
    const std::uint64_t q = w ^ (ones * '"');
    const std::uint64_t b = w ^ (ones * '\\');
    const std::uint64_t hasQuote = (q - ones) & ~q;
    const std::uint64_t hasBackslash = (b - ones) & ~b;
    const std::uint64_t hasControl = w - ones * 0x20; // high bit set where a byte < 0x20
    return ((hasQuote | hasBackslash | hasControl | w) & highs) != 0;
}
#endif

// The first byte from p on that is not plain string text (or end).
inline const char *skipPlain(const char *p, const char *end)
{
#if defined(__SSE2__)
    // Sixteen bytes at a time: a quote, a backslash, or a byte below 0x20 or from 0x80 up
    // (both below 0x20 as signed bytes).
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(0x20);
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i special =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)),
                         _mm_cmplt_epi8(v, space));
        if (const int mask = _mm_movemask_epi8(special))
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#else
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if (wordNeedsLook(w))
            break;
        p += 8;
    }
#endif
    while (p < end && kStringTable[static_cast<unsigned char>(*p)] == kPlain)
        ++p;
    return p;
}

// Length of the well-formed UTF-8 sequence at p (shortest form, no surrogates, at most
// U+10FFFF), or 0.
int utf8SequenceLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned c = p[0];
    int len;
    unsigned lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0)
            lo = 0xA0;
        else if (c == 0xED)
            hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0)
            lo = 0x90;
        else if (c == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (end - p < len)
        return 0;
    if (p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i < len; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    }
    return len;
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

QString hexText(unsigned char c)
{
    return QStringLiteral("0x%1").arg(unsigned(c), 0, 16);
}

struct Frame
{
    std::uint32_t node;
    std::uint32_t count;
    std::uint32_t key; // node of the member key being read (objects)
    bool object;
};

struct Failure
{
    JsonErrorCode code;
    QString description;
};

class Parser
{
public:
    Parser(Document &doc, unsigned maxDepth)
        : m_doc(doc)
        , m_begin(doc.input.constData())
        , m_p(m_begin)
        , m_end(m_begin + doc.input.size())
        , m_maxDepth(maxDepth)
    {
    }

    // Parses one value and what may follow it; on failure fills the trace, innermost
    // error first.
    bool run(QList<Failure> &trace);
    [[nodiscard]] qint64 offset() const { return m_p - m_begin; }

private:
    bool scanString();
    bool scanStringSlow(const char *start);
    bool scanEscape();
    bool scanQuad(char32_t &unit);
    bool scanNumber();
    bool scanLiteral(const char *word, std::size_t len, Type type, bool value,
                     const char *errorText);
    void skipSpace()
    {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }
    bool fail(JsonErrorCode code, const QString &description)
    {
        m_failure = Failure{code, description};
        return false;
    }
    bool fail(JsonErrorCode code, const char *description)
    {
        return fail(code, QString::fromLatin1(description));
    }
    void pushText(std::uint32_t offset, std::uint32_t length, std::uint8_t flags, Type type)
    {
        m_doc.nodes.push_back(Node{type, flags, 0, offset, length});
    }
    QString keyText(const Frame &f) const
    {
        const std::string_view k = m_doc.bytes(m_doc.nodes[f.key]);
        return QString::fromUtf8(k.data(), qsizetype(k.size()));
    }
    void wrap(const Frame &f, QList<Failure> &trace) const
    {
        if (f.object)
            trace.append({JsonErrorCode::Syntax,
                          QStringLiteral("Object value expected for key: %1").arg(keyText(f))});
        else
            trace.append(
                {JsonErrorCode::Syntax, QStringLiteral("Expected value while parsing array")});
    }

    Document &m_doc;
    const char *m_begin;
    const char *m_p;
    const char *m_end;
    unsigned m_maxDepth;
    std::vector<Frame> m_stack;
    Failure m_failure{};
};

bool Parser::run(QList<Failure> &trace)
{
    bool frameOwnsError = false; // the error concerns the innermost container itself
    skipSpace();

value:
    if (m_p == m_end) {
        fail(JsonErrorCode::EndOfInput, "Unexpected end of string");
        goto failed;
    }
    switch (*m_p) {
    case '{':
    case '[': {
        const bool object = *m_p == '{';
        if (m_stack.size() + 1 > m_maxDepth) {
            fail(JsonErrorCode::Depth, "Nested too deep");
            goto failed;
        }
        m_stack.push_back(Frame{std::uint32_t(m_doc.nodes.size()), 0, 0, object});
        m_doc.nodes.push_back(Node{object ? Type::Object : Type::Array, 0, 0, 0, 0});
        ++m_p;
        skipSpace();
        if (m_p < m_end && *m_p == (object ? '}' : ']')) {
            ++m_p;
            goto closeContainer;
        }
        if (object)
            goto memberKey;
        goto value;
    }
    case '"':
        if (!scanString())
            goto failed;
        goto afterValue;
    case '-':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
        if (!scanNumber())
            goto failed;
        goto afterValue;
    case 't':
        if (!scanLiteral("true", 4, Type::Bool, true, "Expected 'true'"))
            goto failed;
        goto afterValue;
    case 'f':
        if (!scanLiteral("false", 5, Type::Bool, false, "Expected 'false'"))
            goto failed;
        goto afterValue;
    case 'n':
        if (!scanLiteral("null", 4, Type::Null, false, "Expected 'null'"))
            goto failed;
        goto afterValue;
    case '+':
        fail(JsonErrorCode::NumberSyntax, "Leading + disallowed in number");
        goto failed;
    default:
        fail(JsonErrorCode::Syntax, "Unrecognised leading character");
        goto failed;
    }

memberKey:
    if (m_p == m_end) {
        fail(JsonErrorCode::EndOfInput, "End of input while parsing object");
        frameOwnsError = true;
        goto failed;
    }
    if (*m_p != '"') {
        fail(JsonErrorCode::Syntax, "Object key string expected");
        frameOwnsError = true;
        goto failed;
    }
    m_stack.back().key = std::uint32_t(m_doc.nodes.size());
    if (!scanString()) {
        trace.append(m_failure);
        fail(JsonErrorCode::Syntax, "Object key string expected");
        frameOwnsError = true;
        goto failed;
    }
    m_doc.nodes.back().keyTag = json_detail::keyTagOf(m_doc.bytes(m_doc.nodes.back()));
    skipSpace();
    if (m_p == m_end) {
        fail(JsonErrorCode::EndOfInput, "End of input while parsing object");
        frameOwnsError = true;
        goto failed;
    }
    if (*m_p != ':') {
        fail(JsonErrorCode::Syntax, "Expected ':' separating key and value");
        frameOwnsError = true;
        goto failed;
    }
    ++m_p;
    skipSpace();
    goto value;

closeContainer : {
    const Frame f = m_stack.back();
    m_stack.pop_back();
    Node &n = m_doc.nodes[f.node];
    n.a = f.count;
    n.b = std::uint32_t(m_doc.nodes.size());
}

afterValue:
    if (m_stack.empty()) {
        skipSpace();
        if (m_p != m_end) {
            trace.append({JsonErrorCode::Garbage, QStringLiteral("Garbage after JSON")});
            return false;
        }
        return true;
    }
    {
        Frame &f = m_stack.back();
        ++f.count;
        const char closer = f.object ? '}' : ']';
        skipSpace();
        if (m_p == m_end) {
            fail(JsonErrorCode::EndOfInput, f.object ? "End of input while parsing object"
                                                     : "End of input while parsing array");
            frameOwnsError = true;
            goto failed;
        }
        if (*m_p == ',') {
            ++m_p;
            skipSpace();
            if (m_p < m_end && *m_p == closer) {
                fail(JsonErrorCode::TrailingComma, f.object ? "Trailing comma disallowed in object"
                                                            : "Trailing comma disallowed in array");
                frameOwnsError = true;
                goto failed;
            }
            if (f.object)
                goto memberKey;
            goto value;
        }
        if (*m_p == closer) {
            ++m_p;
            goto closeContainer;
        }
        fail(JsonErrorCode::Syntax, f.object ? "Expected ',' or '}' while parsing object"
                                             : "Expected ',' or ']' while parsing array");
        frameOwnsError = true;
        goto failed;
    }

failed:
    trace.append(m_failure);
    if (frameOwnsError)
        m_stack.pop_back();
    for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it)
        wrap(*it, trace);
    return false;
}

bool Parser::scanString()
{
    const char *start = ++m_p; // past the opening quote
    for (;;) {
        m_p = skipPlain(m_p, m_end);
        if (m_p == m_end)
            return fail(JsonErrorCode::EndOfInput, "Unexpected EOF while parsing string");
        switch (kStringTable[static_cast<unsigned char>(*m_p)]) {
        case kQuote:
            pushText(std::uint32_t(start - m_begin), std::uint32_t(m_p - start), 0, Type::String);
            ++m_p;
            return true;
        case kBackslash:
            return scanStringSlow(start);
        case kControl:
            return fail(JsonErrorCode::ControlCharacter,
                        QStringLiteral("Unescaped control character '%1'")
                            .arg(hexText(static_cast<unsigned char>(*m_p))));
        default: {
            const int len = utf8SequenceLength(reinterpret_cast<const unsigned char *>(m_p),
                                               reinterpret_cast<const unsigned char *>(m_end));
            if (len == 0)
                return fail(JsonErrorCode::UnicodeEscape, "Broken unicode character");
            m_p += len;
        }
        }
    }
}

// A string with escapes: decoded into the document's side buffer.
bool Parser::scanStringSlow(const char *start)
{
    std::string &out = m_doc.decoded;
    // Decoded text is never longer than its source: one allocation for the whole read.
    if (out.capacity() == 0)
        out.reserve(std::size_t(m_end - start));
    const std::size_t offset = out.size();
    out.append(start, std::size_t(m_p - start));
    for (;;) {
        const char *run = m_p;
        m_p = skipPlain(m_p, m_end);
        out.append(run, std::size_t(m_p - run));
        if (m_p == m_end)
            return fail(JsonErrorCode::EndOfInput, "Unexpected EOF while parsing string");
        switch (kStringTable[static_cast<unsigned char>(*m_p)]) {
        case kQuote:
            if (out.size() > JsonReader::kMaxInputSize)
                return fail(JsonErrorCode::Syntax, "Input too large");
            pushText(std::uint32_t(offset), std::uint32_t(out.size() - offset),
                     json_detail::kInDecoded, Type::String);
            ++m_p;
            return true;
        case kBackslash:
            if (!scanEscape())
                return false;
            break;
        case kControl:
            return fail(JsonErrorCode::ControlCharacter,
                        QStringLiteral("Unescaped control character '%1'")
                            .arg(hexText(static_cast<unsigned char>(*m_p))));
        default: {
            const int len = utf8SequenceLength(reinterpret_cast<const unsigned char *>(m_p),
                                               reinterpret_cast<const unsigned char *>(m_end));
            if (len == 0)
                return fail(JsonErrorCode::UnicodeEscape, "Broken unicode character");
            out.append(m_p, std::size_t(len));
            m_p += len;
        }
        }
    }
}

bool Parser::scanEscape()
{
    ++m_p; // the backslash
    if (m_p == m_end)
        return fail(JsonErrorCode::EndOfInput, "Unexpected EOF while parsing string");
    std::string &out = m_doc.decoded;
    const char c = *m_p++;
    switch (c) {
    case '"':
    case '\\':
    case '/':
        out.push_back(c);
        return true;
    case 'b':
        out.push_back('\b');
        return true;
    case 'f':
        out.push_back('\f');
        return true;
    case 'n':
        out.push_back('\n');
        return true;
    case 'r':
        out.push_back('\r');
        return true;
    case 't':
        out.push_back('\t');
        return true;
    case 'u': {
        char32_t unit = 0;
        if (!scanQuad(unit))
            return false;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return fail(JsonErrorCode::UnicodeEscape, "Invalid high character in surrogate pair");
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (m_end - m_p < 2 || m_p[0] != '\\' || m_p[1] != 'u')
                return fail(JsonErrorCode::UnicodeEscape,
                            "Missing low character in surrogate pair");
            m_p += 2;
            char32_t low = 0;
            if (!scanQuad(low))
                return false;
            if (low < 0xDC00 || low > 0xDFFF)
                return fail(JsonErrorCode::UnicodeEscape, "Invalid low surrogate char");
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, unit);
        return true;
    }
    default:
        return fail(JsonErrorCode::Escape, QStringLiteral("Illegal escape sequence '%1'")
                                               .arg(hexText(static_cast<unsigned char>(c))));
    }
}

bool Parser::scanQuad(char32_t &unit)
{
    if (m_end - m_p < 4)
        return fail(JsonErrorCode::UnicodeEscape, "Missing hex quad");
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        const int h = hexValue(m_p[i]);
        if (h < 0)
            return fail(JsonErrorCode::UnicodeEscape, "Missing hex digit in quad");
        unit = (unit << 4) | char32_t(h);
    }
    m_p += 4;
    return true;
}

bool Parser::scanNumber()
{
    const char *start = m_p;
    if (*m_p == '-') {
        ++m_p;
        if (m_p == m_end || !isDigit(*m_p))
            return fail(JsonErrorCode::NumberSyntax, "No digits after initial minus");
    }
    if (*m_p == '0') {
        ++m_p;
        if (m_p < m_end && isDigit(*m_p))
            return fail(JsonErrorCode::NumberSyntax, "Leading 0 disallowed in number");
    } else {
        while (m_p < m_end && isDigit(*m_p))
            ++m_p;
    }
    if (m_p < m_end && *m_p == '.') {
        ++m_p;
        if (m_p == m_end || !isDigit(*m_p))
            return fail(JsonErrorCode::NumberSyntax, "No digits after decimal point");
        while (m_p < m_end && isDigit(*m_p))
            ++m_p;
    }
    if (m_p < m_end && (*m_p == 'e' || *m_p == 'E')) {
        ++m_p;
        if (m_p < m_end && (*m_p == '+' || *m_p == '-'))
            ++m_p;
        if (m_p == m_end || !isDigit(*m_p))
            return fail(JsonErrorCode::NumberSyntax, "No digits after exponent");
        while (m_p < m_end && isDigit(*m_p))
            ++m_p;
    }
    pushText(std::uint32_t(start - m_begin), std::uint32_t(m_p - start), 0, Type::Number);
    return true;
}

bool Parser::scanLiteral(const char *word, std::size_t len, Type type, bool value,
                         const char *errorText)
{
    if (std::size_t(m_end - m_p) < len || std::memcmp(m_p, word, len) != 0)
        return fail(JsonErrorCode::Syntax, errorText);
    m_p += len;
    m_doc.nodes.push_back(Node{type, std::uint8_t(value ? 1 : 0), 0, 0, 0});
    return true;
}

} // namespace

JsonValue JsonReader::objectWithString(const QByteArray &utf8)
{
    return read(utf8, true);
}

JsonValue JsonReader::objectWithString(const QString &text)
{
    return read(text.isNull() ? QByteArray() : text.toUtf8(), true);
}

JsonValue JsonReader::fragmentWithString(const QByteArray &utf8)
{
    return read(utf8, false);
}

JsonValue JsonReader::fragmentWithString(const QString &text)
{
    return read(text.isNull() ? QByteArray() : text.toUtf8(), false);
}

JsonValue JsonReader::read(const QByteArray &utf8, bool documentOnly)
{
    clearErrorTrace();
    m_errorOffset = -1;
    if (utf8.isNull()) {
        addError(JsonErrorCode::NoInput, QStringLiteral("Input was 'nil'"));
        return {};
    }
    if (utf8.size() > kMaxInputSize) {
        addError(JsonErrorCode::Syntax, QStringLiteral("Input too large"));
        return {};
    }
    auto doc = std::make_shared<Document>();
    doc->input = utf8;
    // Twitter pages run at about one node per 13 bytes; reserving avoids most regrowth.
    doc->nodes.reserve(std::size_t(utf8.size()) / 8 + 8);

    Parser parser(*doc, effectiveMaxDepth());
    QList<Failure> trace;
    if (!parser.run(trace)) {
        m_errorOffset = parser.offset();
        for (const Failure &f : trace)
            addError(f.code, f.description);
        return {};
    }
    const Type top = doc->nodes.front().type;
    if (documentOnly && top != Type::Object && top != Type::Array) {
        m_errorOffset = 0;
        addError(JsonErrorCode::Fragment, QStringLiteral("Valid fragment, but not JSON"));
        return {};
    }
    return JsonValue(std::move(doc), 0);
}
