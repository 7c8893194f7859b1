#include "FilterExpression.h"

#include "KioskError.h"

#include <vector>

struct FilterExpression::Node
{
    enum Kind { And, Or, Not, Compare, IsNull, IsNotNull, Field, Literal } kind;
    QString op;   // comparison operator
    QString name; // field name
    QVariant value;
    std::unique_ptr<Node> left, right;
};

namespace {
using Node = FilterExpression::Node;

struct Token
{
    enum Kind { Ident, String, Number, Op, LParen, RParen, End } kind;
    QString text;
    int pos;
};

std::vector<Token> tokenize(const QString& s)
{
    std::vector<Token> out;
    int i = 0;
    const auto err = [&](const QString& what, int at) {
        throw DataSetError(QStringLiteral("filter \"%1\": %2 at position %3").arg(s, what).arg(at + 1));
    };
    while (i < s.size()) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('(')) {
            out.push_back({Token::LParen, c, i++});
        } else if (c == QLatin1Char(')')) {
            out.push_back({Token::RParen, c, i++});
        } else if (c == QLatin1Char('\'')) {
            const int start = i++;
            QString lit;
            for (;;) {
                if (i >= s.size())
                    err(QStringLiteral("unterminated text literal"), start);
                if (s[i] == QLatin1Char('\'')) {
                    if (i + 1 < s.size() && s[i + 1] == QLatin1Char('\'')) {
                        lit += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                lit += s[i++];
            }
            out.push_back({Token::String, lit, start});
        } else if (c.isDigit() || (c == QLatin1Char('-') && i + 1 < s.size() && s[i + 1].isDigit())) {
            const int start = i++;
            while (i < s.size() && (s[i].isDigit() || s[i] == QLatin1Char('.')))
                ++i;
            out.push_back({Token::Number, s.mid(start, i - start), start});
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            const int start = i;
            while (i < s.size() && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_')))
                ++i;
            out.push_back({Token::Ident, s.mid(start, i - start), start});
        } else if (QStringLiteral("=<>").contains(c)) {
            const int start = i++;
            if (i < s.size() && (s[i] == QLatin1Char('=') || (c == QLatin1Char('<') && s[i] == QLatin1Char('>'))))
                ++i;
            out.push_back({Token::Op, s.mid(start, i - start), start});
        } else {
            err(QStringLiteral("unexpected character '%1'").arg(c), i);
        }
    }
    out.push_back({Token::End, QString(), int(s.size())});
    return out;
}

class Parser
{
public:
    Parser(const QString& text) : m_text(text), m_tokens(tokenize(text)) {}

    std::unique_ptr<Node> parse()
    {
        auto n = parseOr();
        if (peek().kind != Token::End)
            error(QStringLiteral("unexpected \"%1\"").arg(peek().text));
        return n;
    }

private:
    const Token& peek() const { return m_tokens[m_pos]; }
    bool isWord(const char* w) const
    {
        return peek().kind == Token::Ident && peek().text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
    [[noreturn]] void error(const QString& what) const
    {
        throw DataSetError(
            QStringLiteral("filter \"%1\": %2 at position %3").arg(m_text, what).arg(peek().pos + 1));
    }

    static std::unique_ptr<Node> binary(Node::Kind k, std::unique_ptr<Node> l, std::unique_ptr<Node> r)
    {
        auto n = std::make_unique<Node>();
        n->kind = k;
        n->left = std::move(l);
        n->right = std::move(r);
        return n;
    }

    std::unique_ptr<Node> parseOr()
    {
        auto l = parseAnd();
        while (isWord("OR")) {
            ++m_pos;
            l = binary(Node::Or, std::move(l), parseAnd());
        }
        return l;
    }
    std::unique_ptr<Node> parseAnd()
    {
        auto l = parseNot();
        while (isWord("AND")) {
            ++m_pos;
            l = binary(Node::And, std::move(l), parseNot());
        }
        return l;
    }
    std::unique_ptr<Node> parseNot()
    {
        if (isWord("NOT")) {
            ++m_pos;
            return binary(Node::Not, parseNot(), nullptr);
        }
        return parseComparison();
    }
    std::unique_ptr<Node> parseComparison()
    {
        if (peek().kind == Token::LParen) {
            ++m_pos;
            auto inner = parseOr();
            if (peek().kind != Token::RParen)
                error(QStringLiteral("missing \")\""));
            ++m_pos;
            return inner;
        }
        auto l = parseOperand();
        if (isWord("IS")) {
            ++m_pos;
            bool negate = false;
            if (isWord("NOT")) {
                negate = true;
                ++m_pos;
            }
            if (!isWord("NULL"))
                error(QStringLiteral("expected NULL"));
            ++m_pos;
            return binary(negate ? Node::IsNotNull : Node::IsNull, std::move(l), nullptr);
        }
        if (peek().kind != Token::Op)
            error(QStringLiteral("expected a comparison"));
        const QString op = peek().text;
        ++m_pos;
        auto n = binary(Node::Compare, std::move(l), parseOperand());
        n->op = op;
        return n;
    }
    std::unique_ptr<Node> parseOperand()
    {
        const Token& t = peek();
        auto n = std::make_unique<Node>();
        switch (t.kind) {
        case Token::Ident:
            if (isWord("AND") || isWord("OR") || isWord("NOT") || isWord("IS"))
                error(QStringLiteral("expected a field or a value, got \"%1\"").arg(t.text));
            n->kind = Node::Field;
            n->name = t.text;
            break;
        case Token::String:
            n->kind = Node::Literal;
            n->value = t.text;
            break;
        case Token::Number: {
            bool ok = false;
            const double d = t.text.toDouble(&ok);
            if (!ok)
                error(QStringLiteral("bad number \"%1\"").arg(t.text));
            n->kind = Node::Literal;
            n->value = d;
            break;
        }
        default:
            error(t.kind == Token::End ? QStringLiteral("expression ends too early")
                                       : QStringLiteral("expected a field or a value, got \"%1\"").arg(t.text));
        }
        ++m_pos;
        return n;
    }

    QString m_text;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
};

QVariant operandValue(const Node& n, const FilterExpression::FieldLookup& lookup)
{
    return n.kind == Node::Field ? lookup(n.name) : n.value;
}

bool isNumber(const QVariant& v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Double || id == QMetaType::LongLong || id == QMetaType::Int || id == QMetaType::Bool;
}

bool compare(const QVariant& a, const QVariant& b, const QString& op)
{
    int c;
    if (isNumber(a) || isNumber(b)) {
        if (a.isNull() || b.isNull())
            return false; // a null number matches no comparison
        bool okA = true, okB = true;
        const double x = a.toDouble(&okA), y = b.toDouble(&okB);
        if (!okA || !okB)
            return false;
        c = x < y ? -1 : (x > y ? 1 : 0);
    } else {
        c = QString::compare(a.toString(), b.toString());
    }
    if (op == QLatin1String("="))
        return c == 0;
    if (op == QLatin1String("<>"))
        return c != 0;
    if (op == QLatin1String("<"))
        return c < 0;
    if (op == QLatin1String(">"))
        return c > 0;
    if (op == QLatin1String("<="))
        return c <= 0;
    return c >= 0;
}

bool eval(const Node& n, const FilterExpression::FieldLookup& lookup)
{
    switch (n.kind) {
    case Node::And:
        return eval(*n.left, lookup) && eval(*n.right, lookup);
    case Node::Or:
        return eval(*n.left, lookup) || eval(*n.right, lookup);
    case Node::Not:
        return !eval(*n.left, lookup);
    case Node::IsNull:
        return operandValue(*n.left, lookup).isNull();
    case Node::IsNotNull:
        return !operandValue(*n.left, lookup).isNull();
    case Node::Compare:
        return compare(operandValue(*n.left, lookup), operandValue(*n.right, lookup), n.op);
    case Node::Field:
    case Node::Literal:
        return operandValue(n, lookup).toBool();
    }
    return false;
}

void collect(const Node* n, QStringList& out)
{
    if (!n)
        return;
    if (n->kind == Node::Field && !out.contains(n->name, Qt::CaseInsensitive))
        out << n->name;
    collect(n->left.get(), out);
    collect(n->right.get(), out);
}
} // namespace

FilterExpression::FilterExpression(const QString& text) : m_text(text)
{
    if (text.trimmed().isEmpty())
        throw DataSetError(QStringLiteral("filter is empty"));
    m_root = Parser(text).parse();
}

FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression&&) noexcept = default;
FilterExpression& FilterExpression::operator=(FilterExpression&&) noexcept = default;

QStringList FilterExpression::fieldNames() const
{
    QStringList out;
    collect(m_root.get(), out);
    return out;
}

bool FilterExpression::matches(const FieldLookup& lookup) const
{
    return eval(*m_root, lookup);
}
