// SPDX-License-Identifier: MIT
// How texts and numbers look in messages: quoted and escaped, cut after a
// few dozen bytes, floats in their shortest exact spelling.
#pragma once

#include <cstdint>
#include <string>

namespace zelreport::xml {

// A text of `size` bytes in all (the text may hold a part), or "nothing".
std::string ShowText(const std::string* text, std::uint64_t size);
std::string ShowNumber(std::int64_t value);
std::string ShowFloat(float value);

}  // namespace zelreport::xml
