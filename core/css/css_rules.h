#pragma once

#include <vector>

#include "core/css/css_declarations.h"
#include "core/css/css_tokens.h"
#include "core/css/keeping_selectors.h"

namespace css {

// Reads the rules of a style sheet's tokens into the selectors that keep what keeping names, as
// KeepingSelectors cuts them down: appends their compounds to found, and sets wholePage where
// one of them keeps the whole page.
void readKeepingRules(const std::vector<Token> &tokens, Keeping keeping,
                      std::vector<KeepingSelectors::Compound> &found, bool &wholePage);

}  // namespace css
