// What every time readout must look like, whatever a drive answered: "mm:ss".
#pragma once

#include <string_view>

inline bool IsReadout(std::string_view text) {
    const auto digit = [&text](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    return text.size() == 5 && digit(0) && digit(1) && text[2] == ':' && digit(3) && digit(4);
}
