#pragma once
// A small JSON Schema checker for the keywords the project's schemas use: type, enum, required,
// properties, additionalProperties, items, minimum.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace quorvel::test {

// Every place where `document` breaks `schema`, as "path: reason"; empty when it conforms.
std::vector<std::string> SchemaViolations(const nlohmann::json& schema, const nlohmann::json& document);

} // namespace quorvel::test
