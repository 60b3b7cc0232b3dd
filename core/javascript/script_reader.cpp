#include "core/javascript/script_reader.h"

#include <QByteArrayView>
#include <cstring>

#include "core/html/word_lists.h"

namespace {

bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
}

bool isWordByte(char c) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c >= '0' && c <= '9') || c == '$' ||
           c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

class ScriptReader {
public:
    ScriptReader(const char *page, const char *begin, const char *end, ScriptSyntax syntax,
                 const CharacterSteps &steps, std::vector<ByteRange> &ranges)
        : page_(page),
          p_(begin),
          end_(end),
          classic_(syntax == ScriptSyntax::Classic),
          steps_(steps),
          ranges_(ranges) {}

    void read() {
        if (end_ - p_ >= 2 && p_[0] == '#' && p_[1] == '!') skipLine();
        while (p_ < end_) token();
        // A template literal that the script's end cuts off.
        if (templates_ > 0) keep(templateStart_, end_);
    }

private:
    // What a / is behind the token read last.
    enum class Slash : std::uint8_t { StartsRegex, Divides, Unsure };
    enum class Frame : std::uint8_t { Brace, Paren, ConditionParen, Substitution };

    void keep(const char *from, const char *to) {
        if (to > from) ranges_.push_back({from - page_, to - page_});
    }

    // Keeps the spaces of the rest of the script, from behind the byte at from on.
    void keepRest(const char *from) {
        keep(from, end_);
        p_ = end_;
    }

    void step() { p_ += steps_.length(p_, end_); }

    void skipLine() {
        while (p_ < end_ && !isLineEnd(*p_)) step();
    }

    void token() {
        const char c = *p_;
        switch (c) {
            case ' ':
            case '\t':
            case '\v':
            case '\f':
                ++p_;
                return;
            case '\n':
            case '\r':
                ++p_;
                lineStart_ = true;
                return;
            default:
                break;
        }
        const bool condition = conditionNext_;
        conditionNext_ = false;
        const bool afterFor = lastWordWasFor_;
        lastWordWasFor_ = false;
        const bool afterDot = afterDot_;
        afterDot_ = false;
        const bool lineStart = lineStart_;
        lineStart_ = false;
        const char next = p_ + 1 < end_ ? p_[1] : '\0';
        switch (c) {
            case '/':
                if (next == '/') {
                    skipLine();
                } else if (next == '*') {
                    blockComment(lineStart, condition);
                } else if (slash_ == Slash::StartsRegex) {
                    regularExpression();
                } else if (slash_ == Slash::Unsure) {
                    keepRest(p_ + 1);
                } else {
                    ++p_;
                    slash_ = Slash::StartsRegex;
                }
                return;
            case '"':
            case '\'':
                string(c);
                slash_ = Slash::Divides;
                return;
            case '`':
                if (templates_++ == 0) templateStart_ = p_ + 1;
                ++p_;
                templateText();
                return;
            case '{':
                frames_.push_back(Frame::Brace);
                ++p_;
                slash_ = Slash::StartsRegex;
                return;
            case '}':
                ++p_;
                if (!frames_.empty() && frames_.back() == Frame::Substitution) {
                    frames_.pop_back();
                    templateText();
                    return;
                }
                if (!frames_.empty()) frames_.pop_back();
                // The end of a block, behind which a regular expression may start, or of an
                // object literal, which a / divides.
                slash_ = Slash::Unsure;
                return;
            case '(':
                frames_.push_back(condition ? Frame::ConditionParen : Frame::Paren);
                ++p_;
                slash_ = Slash::StartsRegex;
                return;
            case ')':
                // Behind the condition of if, while, for and with a statement starts.
                slash_ = !frames_.empty() && frames_.back() == Frame::ConditionParen
                             ? Slash::StartsRegex
                             : Slash::Divides;
                if (!frames_.empty() && frames_.back() != Frame::Substitution) frames_.pop_back();
                ++p_;
                return;
            case ']':
                ++p_;
                slash_ = Slash::Divides;
                return;
            case '.':
                if (next >= '0' && next <= '9') {
                    number();
                } else if (end_ - p_ >= 3 && p_[1] == '.' && p_[2] == '.') {
                    p_ += 3;
                    slash_ = Slash::StartsRegex;
                } else {
                    ++p_;
                    afterDot_ = true;
                    slash_ = Slash::StartsRegex;
                }
                return;
            case '?':
                if (next == '.' && !(end_ - p_ >= 3 && p_[2] >= '0' && p_[2] <= '9')) {
                    p_ += 2;
                    afterDot_ = true;
                } else {
                    ++p_;
                }
                slash_ = Slash::StartsRegex;
                return;
            case '<':
                if (classic_ && end_ - p_ >= 4 && QByteArrayView(p_, 4) == "<!--") {
                    skipLine();
                    return;
                }
                break;
            case '-':
            case '+':
                if (c == '-' && classic_ && lineStart && end_ - p_ >= 3 &&
                    QByteArrayView(p_, 3) == "-->") {
                    skipLine();
                    return;
                }
                if (next == c) {
                    // An increment or decrement: behind one that follows its operand a / divides,
                    // and one that precedes it cannot take a regular expression.
                    p_ += 2;
                    slash_ = Slash::Divides;
                    return;
                }
                break;
            case '#':
                ++p_;
                word(false, false);
                return;
            default:
                if (isWordByte(c) || c == '\\') {
                    word(afterDot, afterFor);
                    return;
                }
                break;
        }
        ++p_;
        slash_ = Slash::StartsRegex;
    }

    void blockComment(bool lineStart, bool condition) {
        const char *close = nullptr;
        for (const char *q = p_ + 2; q + 1 < end_; ++q) {
            if (q[0] == '*' && q[1] == '/') {
                close = q;
                break;
            }
        }
        const char *const after = close ? close + 2 : end_;
        // A comment is white space to what follows it; one that holds a line end counts as one.
        const bool holdsLineEnd = std::memchr(p_, '\n', std::size_t(after - p_)) ||
                                  std::memchr(p_, '\r', std::size_t(after - p_));
        lineStart_ = lineStart || holdsLineEnd;
        conditionNext_ = condition;
        p_ = after;
    }

    void regularExpression() {
        const char *const open = p_;
        ++p_;
        bool inClass = false;
        while (p_ < end_) {
            const char c = *p_;
            if (isLineEnd(c)) {
                keepRest(open + 1);
                return;
            }
            if (c == '\\') {
                ++p_;
                if (p_ < end_ && isLineEnd(*p_)) {
                    keepRest(open + 1);
                    return;
                }
                if (p_ < end_) step();
                continue;
            }
            if (c == '[')
                inClass = true;
            else if (c == ']')
                inClass = false;
            else if (c == '/' && !inClass)
                break;
            step();
        }
        if (p_ < end_) ++p_;
        while (p_ < end_ && isWordByte(*p_)) step();
        slash_ = Slash::Divides;
    }

    void string(char quote) {
        const char *const open = p_;
        ++p_;
        bool continued = false;
        while (p_ < end_) {
            const char c = *p_;
            if (c == quote) {
                if (continued) keep(open + 1, p_);
                ++p_;
                return;
            }
            if (isLineEnd(c)) {
                // A line end no backslash continues: the script does not run, and may not start
                // to once spaces around it go.
                keepRest(open + 1);
                return;
            }
            if (c == '\\') {
                ++p_;
                if (p_ < end_ && isLineEnd(*p_)) {
                    continued = true;
                    p_ += *p_ == '\r' && p_ + 1 < end_ && p_[1] == '\n' ? 2 : 1;
                    continue;
                }
                if (p_ < end_) step();
                continue;
            }
            step();
        }
    }

    // Reads a template literal's text from p_, behind its backtick or a substitution's }.
    void templateText() {
        while (p_ < end_) {
            const char c = *p_;
            if (c == '`') {
                ++p_;
                if (--templates_ == 0) {
                    const char *const close = p_ - 1;
                    const auto length = std::size_t(close - templateStart_);
                    if (std::memchr(templateStart_, '\n', length) ||
                        std::memchr(templateStart_, '\r', length))
                        keep(templateStart_, close);
                }
                slash_ = Slash::Divides;
                return;
            }
            if (c == '\\') {
                ++p_;
                if (p_ < end_) step();
                continue;
            }
            if (c == '$' && p_ + 1 < end_ && p_[1] == '{') {
                p_ += 2;
                frames_.push_back(Frame::Substitution);
                slash_ = Slash::StartsRegex;
                return;
            }
            step();
        }
    }

    void number() {
        while (p_ < end_ && (isWordByte(*p_) || *p_ == '.')) ++p_;
        slash_ = Slash::Divides;
    }

    // A name or keyword, which may hold \u escapes and characters beyond ASCII.
    void word(bool afterDot, bool afterFor) {
        const char *const start = p_;
        bool ascii = true;
        while (p_ < end_ && (isWordByte(*p_) || *p_ == '\\')) {
            if (static_cast<unsigned char>(*p_) >= 0x80) ascii = false;
            step();
        }
        const QByteArrayView name(start, p_);
        if (name.isEmpty() || (name.front() >= '0' && name.front() <= '9')) {
            slash_ = Slash::Divides;
            return;
        }
        if (afterDot) {
            slash_ = Slash::Divides;
            return;
        }
        if (!ascii) {
            // Perhaps a space beyond ASCII (a no-break space, an ideographic one) before a
            // regular expression, perhaps a name before a division.
            slash_ = Slash::Unsure;
            return;
        }
        if (isOneOf(name, {"return", "typeof", "instanceof", "in", "new", "delete", "void", "throw",
                           "case", "do", "else"})) {
            slash_ = Slash::StartsRegex;
        } else if (isOneOf(name, {"yield", "await", "of"})) {
            slash_ = Slash::Unsure;
        } else {
            slash_ = Slash::Divides;
        }
        conditionNext_ =
            isOneOf(name, {"if", "while", "for", "with"}) || (name == "await" && afterFor);
        lastWordWasFor_ = name == "for";
    }

    const char *const page_;
    const char *p_;
    const char *const end_;
    const bool classic_;
    const CharacterSteps &steps_;
    std::vector<ByteRange> &ranges_;

    Slash slash_ = Slash::StartsRegex;
    std::vector<Frame> frames_;
    int templates_ = 0;  // template literals open, those in the substitutions of others included
    const char *templateStart_ = nullptr;  // behind the backtick of the outermost one
    bool lineStart_ = true;       // nothing but white space and comments since the line began
    bool conditionNext_ = false;  // the last word was if, while, for or with
    bool lastWordWasFor_ = false;
    bool afterDot_ = false;  // a name here is a property's
};

}  // namespace

void findScriptStretches(const char *page, const char *begin, const char *end, ScriptSyntax syntax,
                         const CharacterSteps &steps, std::vector<ByteRange> &ranges) {
    ScriptReader(page, begin, end, syntax, steps, ranges).read();
}
