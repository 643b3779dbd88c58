#include "i18n.hpp"

namespace quorvel::cli {

std::string Fill(std::string text, std::initializer_list<std::string> values) {
    int n = 1;
    for (const std::string& value : values) {
        const std::string mark = "{" + std::to_string(n++) + "}";
        for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    return text;
}

} // namespace quorvel::cli
