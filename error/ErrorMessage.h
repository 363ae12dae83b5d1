#pragma once
// One way from a caught error to the text it is reported with, for the
// window's error report, the per-file job and pixolune-cli alike.

#include "Messages.h"
#include "cError.h"

#include <exception>
#include <new>
#include <string>

// A cError's description, kOutOfMemory for a failed allocation, what() of any
// other standard exception, kUnexpectedError for anything else. Called inside
// a catch block it describes the error being handled.
inline std::string ErrorMessage(std::exception_ptr error = std::current_exception()) {
    try {
        if (error) std::rethrow_exception(error);
    } catch (const cError& e) {
        return e.Description();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return kUnexpectedError;
}
