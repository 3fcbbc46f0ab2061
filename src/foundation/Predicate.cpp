#include "foundation/Predicate.h"

#include <QHash>
#include <QMutex>

PredicateValue PredicateValue::integer(qint64 value)
{
    PredicateValue v;
    v.m_kind = Kind::Integer;
    v.m_number = value;
    return v;
}

PredicateValue PredicateValue::date(const QDateTime &value)
{
    PredicateValue v;
    if (!value.isValid())
        return v;
    v.m_kind = Kind::Date;
    v.m_number = value.toMSecsSinceEpoch();
    return v;
}

PredicateValue PredicateValue::string(const QString &value)
{
    PredicateValue v;
    v.m_kind = Kind::String;
    v.m_string = value;
    return v;
}

PredicateValue PredicateValue::object(const void *address, const QString &label)
{
    PredicateValue v;
    v.m_kind = Kind::Object;
    v.m_address = address;
    v.m_string = label;
    return v;
}

QString PredicateValue::text() const
{
    switch (m_kind) {
    case Kind::None:
        return QStringLiteral("nil");
    case Kind::Integer:
        return QString::number(m_number);
    case Kind::Date:
        return QDateTime::fromMSecsSinceEpoch(m_number, Qt::UTC).toString(Qt::ISODateWithMs);
    case Kind::String:
        return QLatin1Char('"') + m_string + QLatin1Char('"');
    case Kind::Object:
        return m_string;
    }
    return {};
}

int PredicateValue::compare(const PredicateValue &other) const
{
    if (m_kind != other.m_kind)
        return 2;
    switch (m_kind) {
    case Kind::None:
        return 0;
    case Kind::Integer:
    case Kind::Date:
        return m_number < other.m_number ? -1 : (m_number > other.m_number ? 1 : 0);
    case Kind::String: {
        const int c = m_string.compare(other.m_string);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case Kind::Object:
        // Identities have no order, only equality.
        return m_address == other.m_address ? 0 : 2;
    }
    return 2;
}

struct Predicate::Node
{
    enum class Type
    {
        True,
        False,
        Flag,
        Compare,
        And,
        Or,
        Not
    };
    Type type = Type::True;
    // Flag: the bit; And: every folded flag test, as (word & mask[w]) == expect[w].
    quint32 mask[2] = {0, 0};
    quint32 expect[2] = {0, 0};
    QString name; // flag or key name
    int keyId = -1;
    Op op = Op::Equal;
    PredicateValue value;
    bool flagExpected = false;
    int flagWord = 0;
    // Parts in printing order; for And, the parts that are not folded flag tests are in
    // rest, evaluated after the masks.
    std::vector<Predicate> parts;
    std::vector<Predicate> rest;
    QString text;
};

namespace {

const char *opText(Predicate::Op op)
{
    switch (op) {
    case Predicate::Op::Equal:
        return "==";
    case Predicate::Op::NotEqual:
        return "!=";
    case Predicate::Op::Less:
        return "<";
    case Predicate::Op::LessOrEqual:
        return "<=";
    case Predicate::Op::Greater:
        return ">";
    case Predicate::Op::GreaterOrEqual:
        return ">=";
    }
    return "==";
}

bool opHolds(Predicate::Op op, int c)
{
    if (c == 2) // unordered: only != holds
        return op == Predicate::Op::NotEqual;
    switch (op) {
    case Predicate::Op::Equal:
        return c == 0;
    case Predicate::Op::NotEqual:
        return c != 0;
    case Predicate::Op::Less:
        return c < 0;
    case Predicate::Op::LessOrEqual:
        return c <= 0;
    case Predicate::Op::Greater:
        return c > 0;
    case Predicate::Op::GreaterOrEqual:
        return c >= 0;
    }
    return false;
}

} // namespace

Predicate Predicate::truePredicate()
{
    static const Predicate p = [] {
        auto n = std::make_shared<Node>();
        n->type = Node::Type::True;
        n->text = QStringLiteral("TRUEPREDICATE");
        return Predicate(n);
    }();
    return p;
}

Predicate Predicate::falsePredicate()
{
    static const Predicate p = [] {
        auto n = std::make_shared<Node>();
        n->type = Node::Type::False;
        n->text = QStringLiteral("FALSEPREDICATE");
        return Predicate(n);
    }();
    return p;
}

Predicate Predicate::flag(const QString &name, int word, quint32 mask, bool expected)
{
    Q_ASSERT(word == 0 || word == 1);
    auto n = std::make_shared<Node>();
    n->type = Node::Type::Flag;
    n->name = name;
    n->flagWord = word == 0 ? 0 : 1;
    n->flagExpected = expected;
    n->mask[n->flagWord] = mask;
    n->expect[n->flagWord] = expected ? mask : 0;
    n->text = name + (expected ? QStringLiteral(" == YES") : QStringLiteral(" == NO"));
    return Predicate(n);
}

Predicate Predicate::compare(const QString &key, Op op, const PredicateValue &value)
{
    auto n = std::make_shared<Node>();
    n->type = Node::Type::Compare;
    n->name = key;
    n->keyId = keyId(key);
    n->op = op;
    n->value = value;
    n->text = key + QLatin1Char(' ') + QLatin1String(opText(op)) + QLatin1Char(' ') + value.text();
    return Predicate(n);
}

namespace {

QString partText(const Predicate &part, bool inAnd)
{
    // Parenthesise a compound of the other kind so the text reads back unambiguously.
    const QString text = part.toString();
    const bool compound = text.contains(inAnd ? QStringLiteral(" || ") : QStringLiteral(" && "));
    return compound ? QLatin1Char('(') + text + QLatin1Char(')') : text;
}

} // namespace

Predicate Predicate::andPredicate(const std::vector<Predicate> &parts)
{
    auto n = std::make_shared<Node>();
    n->type = Node::Type::And;
    bool conflict = false;
    for (const Predicate &part : parts) {
        if (part.isNull())
            continue;
        // Flatten nested ands so their flag tests fold too.
        const std::vector<Predicate> pieces =
            part.m_node->type == Node::Type::And ? part.m_node->parts : std::vector{part};
        for (const Predicate &piece : pieces) {
            n->parts.push_back(piece);
            const Node &p = *piece.m_node;
            if (p.type == Node::Type::Flag) {
                const int w = p.flagWord;
                const quint32 bit = p.mask[w];
                // "isX == YES && isX == NO" can never hold.
                if ((n->mask[w] & bit) && ((n->expect[w] & bit) != p.expect[w]))
                    conflict = true;
                n->mask[w] |= bit;
                n->expect[w] = (n->expect[w] & ~bit) | p.expect[w];
            } else if (p.type != Node::Type::True) {
                n->rest.push_back(piece);
            }
        }
    }
    if (n->parts.empty())
        return truePredicate();
    if (n->parts.size() == 1)
        return n->parts.front();
    if (conflict)
        n->rest.insert(n->rest.begin(), falsePredicate());
    QStringList texts;
    for (const Predicate &part : n->parts)
        texts << partText(part, true);
    n->text = texts.join(QStringLiteral(" && "));
    return Predicate(n);
}

Predicate Predicate::orPredicate(const std::vector<Predicate> &parts)
{
    auto n = std::make_shared<Node>();
    n->type = Node::Type::Or;
    for (const Predicate &part : parts) {
        if (part.isNull())
            continue;
        if (part.m_node->type == Node::Type::Or)
            n->parts.insert(n->parts.end(), part.m_node->parts.begin(), part.m_node->parts.end());
        else
            n->parts.push_back(part);
    }
    if (n->parts.empty())
        return falsePredicate();
    if (n->parts.size() == 1)
        return n->parts.front();
    QStringList texts;
    for (const Predicate &part : n->parts)
        texts << partText(part, false);
    n->text = texts.join(QStringLiteral(" || "));
    return Predicate(n);
}

Predicate Predicate::notPredicate(const Predicate &part)
{
    if (part.isNull())
        return falsePredicate();
    auto n = std::make_shared<Node>();
    n->type = Node::Type::Not;
    n->parts.push_back(part);
    n->text = QStringLiteral("NOT (") + part.toString() + QLatin1Char(')');
    return Predicate(n);
}

int Predicate::keyId(const QString &name)
{
    static QMutex lock;
    static QHash<QString, int> ids;
    QMutexLocker locker(&lock);
    auto it = ids.constFind(name);
    if (it != ids.constEnd())
        return *it;
    const int id = int(ids.size());
    ids.insert(name, id);
    return id;
}

bool Predicate::isFalse() const
{
    return m_node && m_node->type == Node::Type::False;
}

bool Predicate::evaluate(const PredicateSubject &subject) const
{
    if (!m_node)
        return true;
    const Node &n = *m_node;
    switch (n.type) {
    case Node::Type::True:
        return true;
    case Node::Type::False:
        return false;
    case Node::Type::Flag:
        return (subject.predicateFlagWord(n.flagWord) & n.mask[n.flagWord]) == n.expect[n.flagWord];
    case Node::Type::Compare:
        return opHolds(n.op, subject.predicateValue(n.keyId).compare(n.value));
    case Node::Type::And:
        for (int w = 0; w < 2; ++w) {
            if (n.mask[w] && (subject.predicateFlagWord(w) & n.mask[w]) != n.expect[w])
                return false;
        }
        for (const Predicate &part : n.rest) {
            if (!part.evaluate(subject))
                return false;
        }
        return true;
    case Node::Type::Or:
        for (const Predicate &part : n.parts) {
            if (part.evaluate(subject))
                return true;
        }
        return false;
    case Node::Type::Not:
        return !n.parts.front().evaluate(subject);
    }
    return false;
}

QString Predicate::toString() const
{
    return m_node ? m_node->text : QString();
}

bool Predicate::operator==(const Predicate &other) const
{
    if (m_node == other.m_node)
        return true;
    if (!m_node || !other.m_node)
        return false;
    return m_node->text == other.m_node->text;
}

bool PredicateConjunction::holds(Predicate::Op op, int comparison)
{
    return opHolds(op, comparison);
}

std::optional<PredicateConjunction> flattenPredicate(const Predicate &predicate)
{
    PredicateConjunction flat;
    if (!predicate.m_node)
        return flat;
    const auto addComparison = [&flat](const Predicate::Node &n) {
        flat.comparisons.push_back({n.keyId, n.op, n.value});
    };
    const Predicate::Node &n = *predicate.m_node;
    using Type = Predicate::Node::Type;
    switch (n.type) {
    case Type::True:
        return flat;
    case Type::False:
        flat.never = true;
        return flat;
    case Type::Flag:
    case Type::And:
        for (int w = 0; w < 2; ++w) {
            flat.mask[w] = n.mask[w];
            flat.expect[w] = n.expect[w];
        }
        if (n.type == Type::Flag)
            return flat;
        for (const Predicate &part : n.rest) {
            const Predicate::Node &p = *part.m_node;
            if (p.type == Type::False)
                flat.never = true;
            else if (p.type == Type::Compare)
                addComparison(p);
            else if (p.type != Type::True)
                return std::nullopt;
        }
        return flat;
    case Type::Compare:
        addComparison(n);
        return flat;
    case Type::Or:
    case Type::Not:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::vector<PredicateConjunction>> flattenPredicateClauses(const Predicate &predicate)
{
    std::vector<PredicateConjunction> clauses;
    if (predicate.m_node && predicate.m_node->type == Predicate::Node::Type::Or) {
        for (const Predicate &part : predicate.m_node->parts) {
            std::optional<PredicateConjunction> clause = flattenPredicate(part);
            if (!clause)
                return std::nullopt;
            clauses.push_back(std::move(*clause));
        }
        return clauses;
    }
    std::optional<PredicateConjunction> only = flattenPredicate(predicate);
    if (!only)
        return std::nullopt;
    clauses.push_back(std::move(*only));
    return clauses;
}

Predicate operator&&(const Predicate &a, const Predicate &b)
{
    return Predicate::andPredicate({a, b});
}

Predicate operator||(const Predicate &a, const Predicate &b)
{
    return Predicate::orPredicate({a, b});
}
