// The arguments a parameter string splits into, by the rules CommandLineToArgvW documents
// (the special rule for the program name, argument 0, does not apply to parameters):
// - arguments are separated by blanks and tabs outside double quotes;
// - 2n backslashes before a double quote give n backslashes, and the quote starts or ends a
//   quoted part; 2n+1 backslashes before a double quote give n backslashes and a literal quote;
// - backslashes not before a double quote are literal;
// - inside a quoted part, two double quotes give one literal quote and end the quoted part.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

std::vector<std::u16string> SplitArguments(std::u16string_view parameters);

}  // namespace testing_support
