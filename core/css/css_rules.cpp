#include "core/css/css_rules.h"

#include <algorithm>

#include "core/css/css_declarations.h"

namespace css {

namespace {

// Reads a sheet's rules into the selectors that keep white space.
class RuleReader {
public:
    using Compound = KeepingSelectors::Compound;
    using Alternatives = std::vector<Compound>;

    RuleReader(const std::vector<Token> &tokens, Keeping keeping, std::vector<Compound> &found,
               bool &wholePage)
        : tokens_(tokens), keeping_(keeping), found_(found), wholePage_(wholePage) {}

    void read() { readBlock(0, qsizetype(tokens_.size()), nullptr); }

private:
    // The most alternatives a selector is cut into; one with more keeps the whole page.
    static constexpr std::size_t kMostAlternatives = 64;

    // Reads the declarations and rules from begin to end, nested in a rule with the selectors
    // parent (none at the top); answers whether a declaration there keeps white space.
    bool readBlock(qsizetype begin, qsizetype end, const Alternatives *parent) {
        bool keeps = false;
        for (qsizetype i = begin; i < end;) {
            const Type type = tokens_[i].type;
            if (type == Type::Whitespace || type == Type::Semicolon || type == Type::Other ||
                closes(type)) {
                ++i;
                continue;
            }
            // Up to the ; or the block that ends this item.
            qsizetype stop = i;
            while (stop < end && tokens_[stop].type != Type::Semicolon &&
                   tokens_[stop].type != Type::OpenCurly) {
                stop = opens(tokens_[stop].type) ? afterBlock(tokens_, stop, end) : stop + 1;
            }
            const bool hasBlock = stop < end && tokens_[stop].type == Type::OpenCurly;
            const qsizetype after =
                hasBlock ? afterBlock(tokens_, stop, end) : std::min(stop + 1, end);
            const qsizetype blockEnd = hasBlock ? after - 1 : after;
            if (type == Type::AtKeyword) {
                if (hasBlock && isOneOf(tokens_[i].value,
                                        {"media", "supports", "layer", "container", "document",
                                         "-moz-document", "scope", "starting-style"}))
                    keeps |= readBlock(stop + 1, blockEnd, parent);
            } else if (hasBlock) {
                const Alternatives selectors = selectorList(i, stop, parent);
                if (readBlock(stop + 1, blockEnd, &selectors)) {
                    found_.insert(found_.end(), selectors.begin(), selectors.end());
                    if (selectors.empty()) wholePage_ = true;
                }
            } else if (parent && declarationKeeps(tokens_, i, stop, keeping_)) {
                keeps = true;
            }
            i = after;
        }
        return keeps;
    }

    // The alternatives of a selector list: the last compound of each of its selectors.
    Alternatives selectorList(qsizetype begin, qsizetype end, const Alternatives *parent) {
        Alternatives all;
        qsizetype start = begin;
        for (qsizetype i = begin; i <= end; ++i) {
            if (i < end && opens(tokens_[i].type)) {
                i = afterBlock(tokens_, i, end) - 1;
                continue;
            }
            if (i == end || tokens_[i].type == Type::Comma) {
                Alternatives one = lastCompound(start, i, parent);
                if (one.empty()) return {};  // asks nothing: the whole page
                all.insert(all.end(), one.begin(), one.end());
                if (all.size() > kMostAlternatives) return {};
                start = i + 1;
            }
        }
        return all;
    }

    // The alternatives that the last compound of the selector from begin to end asks for; none
    // where it asks nothing of an element, or asks for the page's root.
    Alternatives lastCompound(qsizetype begin, qsizetype end, const Alternatives *parent) {
        while (end > begin && tokens_[end - 1].type == Type::Whitespace) --end;
        qsizetype start = begin;
        for (qsizetype i = begin; i < end; ++i) {
            const Token &token = tokens_[i];
            if (opens(token.type)) {
                i = afterBlock(tokens_, i, end) - 1;
                continue;
            }
            const bool combinator =
                token.type == Type::Whitespace ||
                (token.type == Type::Delim &&
                 (token.delim == '>' || token.delim == '+' || token.delim == '~' ||
                  (token.delim == '|' && i + 1 < end && tokens_[i + 1].type == Type::Delim &&
                   tokens_[i + 1].delim == '|')));
            if (combinator) start = token.delim == '|' ? i + 2 : i + 1;
        }
        Alternatives alternatives{Compound{}};
        bool root = false;
        for (qsizetype i = start; i < end;) i = simpleSelector(i, end, parent, alternatives, root);
        if (root || alternatives.size() > kMostAlternatives) return {};
        Alternatives kept;
        for (Compound &compound : alternatives) {
            const bool asksNothing = compound.type.isEmpty() && compound.ids.empty() &&
                                     compound.classes.empty() && compound.attributes.empty();
            if (asksNothing || compound.type == "html" || compound.type == "body") return {};
            kept.push_back(std::move(compound));
        }
        return kept;
    }

    // Every alternative also asks for what each of more asks for.
    static void combine(Alternatives &alternatives, const Alternatives &more) {
        Alternatives combined;
        for (const Compound &one : alternatives) {
            for (const Compound &other : more) {
                Compound both = one;
                if (both.type.isEmpty()) both.type = other.type;
                both.ids.insert(both.ids.end(), other.ids.begin(), other.ids.end());
                both.classes.insert(both.classes.end(), other.classes.begin(), other.classes.end());
                both.attributes.insert(both.attributes.end(), other.attributes.begin(),
                                       other.attributes.end());
                combined.push_back(std::move(both));
                if (combined.size() > kMostAlternatives) break;
            }
        }
        alternatives = std::move(combined);
    }

    static void addToAll(Alternatives &alternatives, auto add) {
        for (Compound &compound : alternatives) add(compound);
    }

    // Reads the simple selector at i; answers where the next one starts.
    qsizetype simpleSelector(qsizetype i, qsizetype end, const Alternatives *parent,
                             Alternatives &alternatives, bool &root) {
        const Token &token = tokens_[i];
        const auto isDelim = [&](qsizetype at, char c) {
            return at < end && tokens_[at].type == Type::Delim && tokens_[at].delim == c;
        };
        switch (token.type) {
            case Type::Ident:
            case Type::Delim:
                if (token.type == Type::Delim && token.delim == '.') {
                    if (i + 1 < end && tokens_[i + 1].type == Type::Ident) {
                        const QByteArray name = tokens_[i + 1].value;
                        addToAll(alternatives, [&](Compound &c) { c.classes.push_back(name); });
                        return i + 2;
                    }
                    return i + 1;
                }
                if (token.type == Type::Delim && token.delim == '&') {
                    if (!parent)
                        root = true;
                    else
                        combine(alternatives, *parent);
                    return i + 1;
                }
                if (token.type == Type::Ident ||
                    (token.type == Type::Delim && token.delim == '*')) {
                    // A namespace prefix: ns|type, *|type.
                    if (isDelim(i + 1, '|') && !isDelim(i + 2, '|')) return i + 1;
                    if (token.type == Type::Ident) {
                        const QByteArray type = token.value;
                        addToAll(alternatives, [&](Compound &c) { c.type = type; });
                    }
                }
                return i + 1;
            case Type::Hash: {
                const QByteArray id = token.value;
                addToAll(alternatives, [&](Compound &c) { c.ids.push_back(id); });
                return i + 1;
            }
            case Type::OpenSquare: {
                const qsizetype close = afterBlock(tokens_, i, end);
                KeepingSelectors::AttributeTest test;
                if (attributeTest(i + 1, close - 1, test))
                    addToAll(alternatives, [&](Compound &c) { c.attributes.push_back(test); });
                return close;
            }
            case Type::Colon: {
                qsizetype at = i + 1;
                const bool element = at < end && tokens_[at].type == Type::Colon;
                if (element) ++at;
                if (at >= end) return at;
                const Token &pseudo = tokens_[at];
                if (pseudo.type == Type::Ident) {
                    if (!element && isOneOf(pseudo.value, {"root", "scope", "host"})) root = true;
                    return at + 1;
                }
                if (pseudo.type != Type::Function) return at;
                const qsizetype close = afterBlock(tokens_, at, end);
                if (isOneOf(pseudo.value, {"is", "where", "matches", "-webkit-any", "-moz-any",
                                           "host", "host-context", "slotted"})) {
                    const Alternatives inside = selectorList(at + 1, close - 1, parent);
                    if (inside.empty())
                        root = true;
                    else
                        combine(alternatives, inside);
                } else if (pseudo.value == "part") {
                    KeepingSelectors::AttributeTest test;
                    test.name = "part";
                    addToAll(alternatives, [&](Compound &c) { c.attributes.push_back(test); });
                }
                return close;
            }
            default:
                return opens(token.type) ? afterBlock(tokens_, i, end) : i + 1;
        }
    }

    bool attributeTest(qsizetype i, qsizetype end, KeepingSelectors::AttributeTest &test) {
        const auto skipSpace = [&] {
            while (i < end && tokens_[i].type == Type::Whitespace) ++i;
        };
        skipSpace();
        // A namespace prefix before the name.
        if (i + 1 < end && tokens_[i + 1].type == Type::Delim && tokens_[i + 1].delim == '|' &&
            !(i + 2 < end && tokens_[i + 2].type == Type::Delim && tokens_[i + 2].delim == '='))
            i += 2;
        else if (i < end && tokens_[i].type == Type::Delim && tokens_[i].delim == '|')
            ++i;
        if (i >= end || tokens_[i].type != Type::Ident) return false;
        test.name = tokens_[i++].value;
        skipSpace();
        if (i >= end || tokens_[i].type != Type::Delim) return true;
        char match = tokens_[i].delim;
        if (match != '=') {
            if (i + 1 >= end || tokens_[i + 1].type != Type::Delim || tokens_[i + 1].delim != '=')
                return true;
            ++i;
        }
        ++i;
        skipSpace();
        if (i >= end || (tokens_[i].type != Type::Ident && tokens_[i].type != Type::String))
            return true;
        QByteArray value = tokens_[i].value;
        for (char &c : value) c = lowered(c);
        test.match = match;
        test.value = value;
        return true;
    }

    const std::vector<Token> &tokens_;
    const Keeping keeping_;
    std::vector<Compound> &found_;
    bool &wholePage_;
};

}  // namespace

void readKeepingRules(const std::vector<Token> &tokens, Keeping keeping,
                      std::vector<KeepingSelectors::Compound> &found, bool &wholePage) {
    RuleReader(tokens, keeping, found, wholePage).read();
}

}  // namespace css
