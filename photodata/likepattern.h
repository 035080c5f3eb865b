#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

// The pattern language of a photo data search, not SQL's: `*` any run of
// characters, `?` one character, `#` one digit, `[abc]`, `[a-z]` and `[!abc]`
// character lists; everything else, `%` and `_` included, stands for itself.
// Letter case is ignored. A `[` without its `]` is an ordinary character.
class LikePattern {
public:
    explicit LikePattern(const QString& pattern);

    // True when the whole of `text` matches the whole pattern.
    bool matches(const QString& text) const;
    // The same for UTF-8 text (the store calls this once per record).
    bool matchesUtf8(std::string_view utf8) const;

private:
    struct Range {
        char32_t first;
        char32_t last;
    };
    struct Token {
        enum Kind { Literal, AnyOne, AnyRun, Digit, List } kind = Literal;
        char32_t ch = 0;        // Literal, case-folded
        bool negated = false;   // List
        std::vector<Range> ranges; // List, case-folded
    };

    template <class Text> bool matchFolded(const Text& text) const;
    bool tokenMatches(const Token& t, char32_t c) const;

    std::vector<Token> m_tokens;
    // The longest run of plain ASCII letters the text must hold; checked first.
    std::string m_required;
};
