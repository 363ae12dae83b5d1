#pragma once
// The one error type of the program: a number and a description, raised by the
// lower layers and reported by the handler that called them.

#include <stdexcept>
#include <string>
#include <utility>

enum class ErrorNumber : int {
    InvalidCall = 5,  // also the JPEG export's "Cannot save the image." error
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    TypeMismatch = 13,
    FileNotFound = 53,
    DeviceIO = 57,
    PermissionDenied = 70,
    PathFileAccess = 75,
    PathNotFound = 76,
    InvalidPicture = 481,
};

class cError : public std::runtime_error {
public:
    cError(ErrorNumber number, const std::string& description, std::string reason = {})
        : std::runtime_error(description), number_(number), reason_(std::move(reason)) {}

    ErrorNumber Number() const { return number_; }
    std::string Description() const { return what(); }
    // Why, in the system's words and without the file's name ("No such file
    // or directory", "the file ends before its pixel data does"): what a
    // command line prints after the name. Empty where the description is all.
    const std::string& Reason() const { return reason_; }

    static cError Overflow() { return {ErrorNumber::Overflow, "Overflow"}; }
    static cError Subscript() {
        return {ErrorNumber::SubscriptOutOfRange, "Subscript out of range"};
    }
    static cError DivisionByZero() { return {ErrorNumber::DivisionByZero, "Division by zero"}; }

private:
    ErrorNumber number_;
    std::string reason_;
};
