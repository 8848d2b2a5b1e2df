// Which content coding a response is sent in, from the request's
// Accept-Encoding field.
#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class ContentCoding { Identity, Gzip, Brotli };

// The coding's name as Content-Encoding writes it ("" for identity).
std::string_view CodingName(ContentCoding coding);

// The coding the client weighs most, if above 0 and at least identity's:
// brotli ("br") only when named, as it is smaller (browsers name it where they
// take it); gzip named itself (or as x-gzip), or else through "*"; brotli
// when the two weigh the same. Identity, unnamed, weighs what "*" does, or
// without it less than any coding named. Names match without
// regard to ASCII case; a weight that is not a valid q-value makes its coding
// unacceptable, and a coding named twice takes the lower weight, so that
// any "gzip;q=0" refuses it. Repeated fields arrive joined with ", ". No
// field, an empty one or anything unparsable: identity.
ContentCoding ChooseCoding(const std::optional<std::string>& acceptEncoding);

// The weight of a q-value ("0", "0.5", "1.000"...), in thousandths; nothing
// when it is not one.
std::optional<int> ParseQValue(std::string_view text);
