// JSON answer reading on nlohmann-json; the library stays inside this file.
#include "server/ApiJson.h"

#include "common/Text.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

namespace pavona {

using Json = nlohmann::json;

struct TJsonNode::Doc {
    Json Root;
};

struct TJsonAccess {
    static const Json* Get(const TJsonNode& n) { return static_cast<const Json*>(n.FNode); }
    static TJsonNode Make(const TJsonNode& from, const Json* node) { return TJsonNode(from.FDoc, node); }
};

namespace {

const Json* Node(const TJsonNode& n) {
    return TJsonAccess::Get(n);
}

// Whole-number value of a JSON number or decimal string, when it fits in [lo, hi].
bool IntegerOf(const Json& v, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
    std::int64_t x = 0;
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return false;
        x = static_cast<std::int64_t>(u);
    } else if (v.is_number_integer()) {
        x = v.get<std::int64_t>();
    } else if (v.is_number_float()) {
        const double d = v.get<double>();
        // 2^63 is exactly representable; anything at or above it does not fit.
        if (!std::isfinite(d) || std::trunc(d) != d || d < -9223372036854775808.0 ||
            d >= 9223372036854775808.0)
            return false;
        x = static_cast<std::int64_t>(d);
    } else if (v.is_string()) {
        if (!TryParseInt64(v.get_ref<const std::string&>(), x)) return false;
    } else {
        return false;
    }
    if (x < lo || x > hi) return false;
    out = x;
    return true;
}

std::string ScalarText(const Json& v) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
    if (v.is_number_unsigned()) return std::to_string(v.get<std::uint64_t>());
    if (v.is_number_integer()) return std::to_string(v.get<std::int64_t>());
    if (v.is_number_float()) return v.dump();
    return {};
}

} // namespace

TJsonNode TJsonNode::Parse(std::string_view text) {
    auto doc = std::make_shared<Doc>();
    doc->Root = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (doc->Root.is_discarded()) return {};
    const Json* root = &doc->Root;
    return TJsonNode(std::move(doc), root);
}

bool TJsonNode::IsNull() const {
    return FNode && Node(*this)->is_null();
}
bool TJsonNode::IsObject() const {
    return FNode && Node(*this)->is_object();
}
bool TJsonNode::IsArray() const {
    return FNode && Node(*this)->is_array();
}
bool TJsonNode::IsString() const {
    return FNode && Node(*this)->is_string();
}

std::size_t TJsonNode::Size() const {
    return IsArray() ? Node(*this)->size() : 0;
}

TJsonNode TJsonNode::At(std::size_t index) const {
    if (index >= Size()) return {};
    return TJsonAccess::Make(*this, &(*Node(*this))[index]);
}

TJsonNode TJsonNode::Member(std::string_view name) const {
    if (!IsObject()) return {};
    const Json& obj = *Node(*this);
    const auto it = obj.find(std::string(name));
    if (it == obj.end()) return {};
    return TJsonAccess::Make(*this, &*it);
}

std::string ReadJsonString(const TJsonNode& obj, std::string_view name, const std::string& def) {
    const TJsonNode m = obj.Member(name);
    const Json* v = Node(m);
    if (!v || !v->is_primitive() || v->is_null()) return def;
    return ScalarText(*v);
}

int ReadJsonInt(const TJsonNode& obj, std::string_view name, int def) {
    const Json* v = Node(obj.Member(name));
    std::int64_t x = 0;
    if (!v || !IntegerOf(*v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), x)) return def;
    return static_cast<int>(x);
}

bool ReadJsonCount(const TJsonNode& obj, std::string_view name, int& out) {
    out = 0;
    const Json* v = Node(obj.Member(name));
    if (!v) return true;
    std::int64_t x = 0;
    if (!v->is_number() || !IntegerOf(*v, 0, std::numeric_limits<int>::max(), x)) return false;
    out = static_cast<int>(x);
    return true;
}

std::int64_t ReadJsonInt64(const TJsonNode& obj, std::string_view name, std::int64_t def) {
    const Json* v = Node(obj.Member(name));
    std::int64_t x = 0;
    if (!v ||
        !IntegerOf(*v, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(), x))
        return def;
    return x;
}

bool ReadJsonBool(const TJsonNode& obj, std::string_view name, bool def) {
    const Json* v = Node(obj.Member(name));
    if (!v || !v->is_boolean()) return def;
    return v->get<bool>();
}

std::string JsonValueText(const TJsonNode& value) {
    const Json* v = Node(value);
    if (!v) return {};
    return ScalarText(*v);
}

} // namespace pavona
