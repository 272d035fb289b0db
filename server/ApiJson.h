// Reading the association server's JSON answers: one parsed document behind a small opaque
// handle, and the member reading rules every answer uses (missing, null or unconvertible members
// give the caller's default).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pavona {

// A value inside a parsed JSON document. Copies share the document; a handle that points at
// nothing (a missing member, an index past the end, text that did not parse) is "absent".
class TJsonNode {
  public:
    TJsonNode() = default;
    // The whole text as one JSON value; absent when it does not parse.
    static TJsonNode Parse(std::string_view text);

    bool Present() const { return FNode != nullptr; }
    bool IsNull() const;
    bool IsObject() const;
    bool IsArray() const;
    bool IsString() const;
    // Elements of an array (0 for anything else).
    std::size_t Size() const;
    TJsonNode At(std::size_t index) const;
    // A member of an object by name; absent when this is not an object or has no such member.
    TJsonNode Member(std::string_view name) const;

  private:
    struct Doc;
    TJsonNode(std::shared_ptr<const Doc> doc, const void* node) : FDoc(std::move(doc)), FNode(node) {}
    std::shared_ptr<const Doc> FDoc;
    const void* FNode = nullptr;
    friend struct TJsonAccess;
};

// Member `name` of `obj` read as the wanted type. A missing member, JSON null, an object or an
// array, or a value that does not convert gives `def`. Conversions accepted beyond the exact
// type: text takes numbers and booleans as their JSON text; integers take a number with no
// fraction and a string holding only a decimal integer, both within range.
std::string ReadJsonString(const TJsonNode& obj, std::string_view name, const std::string& def = {});
int ReadJsonInt(const TJsonNode& obj, std::string_view name, int def = 0);
std::int64_t ReadJsonInt64(const TJsonNode& obj, std::string_view name, std::int64_t def = 0);
bool ReadJsonBool(const TJsonNode& obj, std::string_view name, bool def = false);
// A count member of a server answer: absent gives 0; otherwise it must be a JSON number with no
// fraction from 0 to INT_MAX (a string, null, a negative or fractional number gives false).
bool ReadJsonCount(const TJsonNode& obj, std::string_view name, int& out);
// Empty for an absent value or JSON null; otherwise the string itself, the number's text or
// "true"/"false". Objects and arrays have no text and give empty.
std::string JsonValueText(const TJsonNode& value);

} // namespace pavona
