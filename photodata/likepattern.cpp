#include "likepattern.h"

#include <QVector>

namespace {

char32_t fold(char32_t c)
{
    if (c < 0x80)
        return c >= U'A' && c <= U'Z' ? c + 32 : c;
    return char32_t(QChar::toCaseFolded(c));
}

std::u32string foldedCodePoints(const QString& text)
{
    std::u32string out;
    out.reserve(std::size_t(text.size()));
    for (char32_t c : text.toUcs4())
        out.push_back(fold(c));
    return out;
}

} // namespace

LikePattern::LikePattern(const QString& pattern)
{
    const std::u32string p = foldedCodePoints(pattern);
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        Token t;
        t.kind = Token::Literal;
        if (c == U'*') {
            if (!m_tokens.empty() && m_tokens.back().kind == Token::AnyRun)
                continue; // "**" is "*"
            t.kind = Token::AnyRun;
        } else if (c == U'?') {
            t.kind = Token::AnyOne;
        } else if (c == U'#') {
            t.kind = Token::Digit;
        } else if (c == U'[' && p.find(U']', i + 1) != std::u32string::npos) {
            const std::size_t close = p.find(U']', i + 1);
            std::size_t j = i + 1;
            if (close == j) { // "[]" matches the empty text
                i = close;
                continue;
            }
            t.kind = Token::List;
            if (p[j] == U'!' && close > j + 1) {
                t.negated = true;
                ++j;
            }
            while (j < close) {
                if (j + 2 < close && p[j + 1] == U'-') {
                    t.ranges.push_back({std::min(p[j], p[j + 2]), std::max(p[j], p[j + 2])});
                    j += 3;
                } else {
                    t.ranges.push_back({p[j], p[j]});
                    ++j;
                }
            }
            i = close;
        } else {
            t.ch = c;
        }
        m_tokens.push_back(std::move(t));
    }
    std::string run;
    for (const Token& t : m_tokens) {
        if (t.kind == Token::Literal && t.ch < 0x80) {
            run.push_back(char(t.ch));
            if (run.size() > m_required.size())
                m_required = run;
        } else {
            run.clear();
        }
    }
}

bool LikePattern::tokenMatches(const Token& t, char32_t c) const
{
    switch (t.kind) {
    case Token::Literal:
        return t.ch == c;
    case Token::AnyOne:
        return true;
    case Token::Digit:
        return c >= U'0' && c <= U'9';
    case Token::List: {
        bool inList = false;
        for (const Range& r : t.ranges)
            inList = inList || (c >= r.first && c <= r.last);
        return inList != t.negated;
    }
    case Token::AnyRun:
        break;
    }
    return false;
}

namespace {

// Plain ASCII text, folded as it is read.
struct AsciiText {
    std::string_view bytes;
    std::size_t size() const { return bytes.size(); }
    char32_t operator[](std::size_t i) const { return fold(static_cast<unsigned char>(bytes[i])); }
};

bool containsFolded(std::string_view text, const std::string& needle)
{
    if (needle.size() > text.size())
        return false;
    for (std::size_t i = 0; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && char32_t(needle[k]) == fold(static_cast<unsigned char>(text[i + k])))
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

} // namespace

template <class Text> bool LikePattern::matchFolded(const Text& text) const
{
    // Every token but `*` takes exactly one character, so backing up to the
    // last `*` is enough: linear in practice, never exponential.
    constexpr std::size_t none = std::size_t(-1);
    std::size_t t = 0, n = 0, star = none, mark = 0;
    while (n < text.size()) {
        if (t < m_tokens.size() && m_tokens[t].kind == Token::AnyRun) {
            star = t++;
            mark = n;
        } else if (t < m_tokens.size() && tokenMatches(m_tokens[t], text[n])) {
            ++t;
            ++n;
        } else if (star != none) {
            t = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (t < m_tokens.size() && m_tokens[t].kind == Token::AnyRun)
        ++t;
    return t == m_tokens.size();
}

bool LikePattern::matches(const QString& text) const
{
    return matchFolded(std::u32string_view(foldedCodePoints(text)));
}

bool LikePattern::matchesUtf8(std::string_view utf8) const
{
    // Plain ASCII text, the usual case, is folded as it is read, without Qt.
    for (unsigned char c : utf8) {
        if (c >= 0x80)
            return matches(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    }
    if (!m_required.empty() && !containsFolded(utf8, m_required))
        return false;
    return matchFolded(AsciiText{utf8});
}
