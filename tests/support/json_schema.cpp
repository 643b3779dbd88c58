#include "support/json_schema.hpp"

namespace quorvel::test {

namespace {

bool HasType(const nlohmann::json& value, const std::string& type) {
    if (type == "object") return value.is_object();
    if (type == "array") return value.is_array();
    if (type == "string") return value.is_string();
    if (type == "integer") return value.is_number_integer();
    if (type == "number") return value.is_number();
    if (type == "boolean") return value.is_boolean();
    if (type == "null") return value.is_null();
    return false;
}

void Check(const nlohmann::json& schema, const nlohmann::json& value, const std::string& path,
           std::vector<std::string>& out) {
    if (schema.contains("type")) {
        bool ok = false;
        if (schema["type"].is_array()) {
            for (const auto& t : schema["type"])
                ok |= HasType(value, t.get<std::string>());
        } else {
            ok = HasType(value, schema["type"].get<std::string>());
        }
        if (!ok) {
            out.push_back(path + ": wrong type " + std::string(value.type_name()));
            return;
        }
    }
    if (schema.contains("enum")) {
        bool found = false;
        for (const auto& e : schema["enum"])
            found |= e == value;
        if (!found) out.push_back(path + ": value not in enum: " + value.dump());
    }
    if (schema.contains("minimum") && value.is_number() &&
        value.get<double>() < schema["minimum"].get<double>())
        out.push_back(path + ": below minimum");
    if (value.is_object()) {
        if (schema.contains("required"))
            for (const auto& r : schema["required"])
                if (!value.contains(r.get<std::string>()))
                    out.push_back(path + ": missing " + r.get<std::string>());
        const nlohmann::json* props = schema.contains("properties") ? &schema["properties"] : nullptr;
        for (auto it = value.begin(); it != value.end(); ++it) {
            std::string child = path + "." + it.key();
            if (props != nullptr && props->contains(it.key())) {
                Check((*props)[it.key()], it.value(), child, out);
            } else if (schema.contains("additionalProperties")) {
                const auto& extra = schema["additionalProperties"];
                if (extra.is_boolean()) {
                    if (!extra.get<bool>()) out.push_back(child + ": property not allowed");
                } else {
                    Check(extra, it.value(), child, out);
                }
            }
        }
    }
    if (value.is_array() && schema.contains("items"))
        for (std::size_t i = 0; i < value.size(); ++i)
            Check(schema["items"], value[i], path + "[" + std::to_string(i) + "]", out);
}

} // namespace

std::vector<std::string> SchemaViolations(const nlohmann::json& schema, const nlohmann::json& document) {
    std::vector<std::string> out;
    Check(schema, document, "$", out);
    return out;
}

} // namespace quorvel::test
