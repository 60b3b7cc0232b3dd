#pragma once

#include <cstdint>
#include <initializer_list>

#include "core/html/html_tags.h"

// The sets of elements that the rules of HTML's tree construction name, as the tree builder
// (OpenElements) tests them.
namespace tag_sets {

// A set of tag ids, tested with one look.
class TagSet {
public:
    constexpr TagSet(std::initializer_list<TagId> ids) {
        for (const TagId id : ids) {
            const auto index = static_cast<unsigned>(id);
            words_[index / 64] |= std::uint64_t{1} << (index % 64);
        }
    }
    constexpr bool has(TagId id) const {
        const auto index = static_cast<unsigned>(id);
        return (words_[index / 64] >> (index % 64)) & 1;
    }

private:
    std::uint64_t words_[4] = {};
};

using T = TagId;

inline constexpr TagSet kSpecial{
    T::Address, T::Applet,     T::Area,     T::Article,    T::Aside,     T::Base,     T::Basefont,
    T::Bgsound, T::Blockquote, T::Body,     T::Br,         T::Button,    T::Caption,  T::Center,
    T::Col,     T::Colgroup,   T::Dd,       T::Details,    T::Dir,       T::Div,      T::Dl,
    T::Dt,      T::Embed,      T::Fieldset, T::Figcaption, T::Figure,    T::Footer,   T::Form,
    T::Frame,   T::Frameset,   T::H1,       T::H2,         T::H3,        T::H4,       T::H5,
    T::H6,      T::Head,       T::Header,   T::Hgroup,     T::Hr,        T::Html,     T::Iframe,
    T::Img,     T::Input,      T::Keygen,   T::Li,         T::Link,      T::Listing,  T::Main,
    T::Marquee, T::Menu,       T::Meta,     T::Nav,        T::Noembed,   T::Noframes, T::Noscript,
    T::Object,  T::Ol,         T::P,        T::Param,      T::Plaintext, T::Pre,      T::Script,
    T::Search,  T::Section,    T::Select,   T::Source,     T::Style,     T::Summary,  T::Table,
    T::Tbody,   T::Td,         T::Template, T::Textarea,   T::Tfoot,     T::Th,       T::Thead,
    T::Title,   T::Tr,         T::Track,    T::Ul,         T::Wbr,       T::Xmp};

inline constexpr TagSet kDefaultScope{T::Applet, T::Caption, T::Html,   T::Table,   T::Td,
                                      T::Th,     T::Marquee, T::Object, T::Template};
inline constexpr TagSet kMathMlTextIntegrationPoints{T::Mi, T::Mo, T::Mn, T::Ms, T::Mtext};

// Start tags that close an open p first.
inline constexpr TagSet kClosesParagraph{
    T::Address, T::Article, T::Aside,   T::Blockquote, T::Center,     T::Details, T::Dialog,
    T::Dir,     T::Div,     T::Dl,      T::Fieldset,   T::Figcaption, T::Figure,  T::Footer,
    T::Header,  T::Hgroup,  T::Main,    T::Menu,       T::Nav,        T::Ol,      T::P,
    T::Search,  T::Section, T::Summary, T::Ul};

// End tags that close their element where it is in scope, with everything inside it.
inline constexpr TagSet kClosedInScope{
    T::Address, T::Article, T::Aside,  T::Blockquote, T::Button,   T::Center,     T::Details,
    T::Dialog,  T::Dir,     T::Div,    T::Dl,         T::Fieldset, T::Figcaption, T::Figure,
    T::Footer,  T::Header,  T::Hgroup, T::Listing,    T::Main,     T::Menu,       T::Nav,
    T::Ol,      T::Pre,     T::Search, T::Section,    T::Summary,  T::Ul};

inline constexpr TagSet kFormatting{T::A,    T::B, T::Big,   T::Code,   T::Em,     T::Font, T::I,
                                    T::Nobr, T::S, T::Small, T::Strike, T::Strong, T::Tt,   T::U};

inline constexpr TagSet kHeadings{T::H1, T::H2, T::H3, T::H4, T::H5, T::H6};

// Elements that never have content: their start tag is all there is.
inline constexpr TagSet kVoid{T::Area,  T::Base,   T::Basefont, T::Bgsound, T::Br,
                              T::Col,   T::Embed,  T::Frame,    T::Hr,      T::Image,
                              T::Img,   T::Input,  T::Keygen,   T::Link,    T::Meta,
                              T::Param, T::Source, T::Track,    T::Wbr};

// HTML start tags that end foreign content.
inline constexpr TagSet kBreakOut{
    T::B,      T::Big,  T::Blockquote, T::Body,  T::Br,   T::Center, T::Code,    T::Dd,   T::Div,
    T::Dl,     T::Dt,   T::Em,         T::Embed, T::H1,   T::H2,     T::H3,      T::H4,   T::H5,
    T::H6,     T::Head, T::Hr,         T::I,     T::Img,  T::Li,     T::Listing, T::Menu, T::Meta,
    T::Nobr,   T::Ol,   T::P,          T::Pre,   T::Ruby, T::S,      T::Small,   T::Span, T::Strong,
    T::Strike, T::Sub,  T::Sup,        T::Table, T::Tt,   T::U,      T::Ul,      T::Var};

// The parts of a table that its own insertion modes handle.
inline constexpr TagSet kTableParts{T::Caption, T::Colgroup, T::Tbody, T::Td,
                                    T::Tfoot,   T::Th,       T::Thead, T::Tr};

}  // namespace tag_sets
