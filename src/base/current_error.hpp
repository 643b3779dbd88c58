#pragma once
// The failure being handled, as a run-time error with a number and a description.

#include <quorvel/error.hpp>

#include <exception>
#include <new>
#include <string>

namespace quorvel::base {

// Call only inside a catch block. Returns the exception being handled as a run-time error: a
// quorvel::Error as it is, a failed allocation as "Mémoire insuffisante", any other exception as
// an internal error with its text.
inline Error CurrentError() {
    try {
        throw;
    } catch (const Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return Error(errnum::kOutOfMemory, "Mémoire insuffisante");
    } catch (const std::exception& e) {
        return Error(errnum::kInternal, std::string("Erreur interne : ") + e.what());
    } catch (...) {
        return Error(errnum::kInternal, "Erreur interne");
    }
}

} // namespace quorvel::base
