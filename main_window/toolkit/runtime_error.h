// The one kind of error the logic raises. No handler catches it: it ends the handler where it is raised and
// reaches the toolkit, which reports it and ends the program.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace hovermark {

class RuntimeError : public std::runtime_error {
  public:
    enum class Code : std::int32_t {
        Overflow = 6,
        ObjectNotSet = 91,
        InvalidPropertyValue = 380,
    };

    RuntimeError(Code code, const std::string& description) : std::runtime_error(description), code_(code) {}

    static RuntimeError Overflow() { return {Code::Overflow, "Overflow"}; }
    static RuntimeError ObjectNotSet() { return {Code::ObjectNotSet, "Object variable not set"}; }
    static RuntimeError InvalidPropertyValue() { return {Code::InvalidPropertyValue, "Invalid property value"}; }

    Code code() const { return code_; }
    std::int32_t number() const { return static_cast<std::int32_t>(code_); }

    // The text of the report the user sees before the program ends, lines ended by CR LF.
    std::string Report() const;

  private:
    Code code_;
};

}  // namespace hovermark
