// The outcome of an operation that can fail across an area boundary: a value, or the Korean text
// that tells the operator what went wrong. Exceptions stay inside the area whose library throws.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace pavona {

// What a failed operation returns: `return Fail("…");` converts to any Result.
struct TFailure {
    std::string Message;
};
inline TFailure Fail(std::string message) {
    return TFailure{std::move(message)};
}

template <class T = void>
class [[nodiscard]] Result {
  public:
    Result(T value) : FValue(std::move(value)) {}
    Result(TFailure failure) : FError(std::move(failure.Message)) {}

    bool Ok() const { return FValue.has_value(); }
    explicit operator bool() const { return Ok(); }
    // Only when Ok().
    const T& Value() const& { return *FValue; }
    T& Value() & { return *FValue; }
    T&& Value() && { return std::move(*FValue); }
    // The value, or `fallback` when the operation failed.
    T ValueOr(T fallback) const& { return FValue ? *FValue : std::move(fallback); }
    // Empty when Ok().
    const std::string& Error() const { return FError; }

  private:
    std::optional<T> FValue;
    std::string FError;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(TFailure failure) : FOk(false), FError(std::move(failure.Message)) {}

    bool Ok() const { return FOk; }
    explicit operator bool() const { return FOk; }
    const std::string& Error() const { return FError; }

  private:
    bool FOk = true;
    std::string FError;
};

// The success of an operation that gives no value.
inline Result<> Done() {
    return {};
}

} // namespace pavona
