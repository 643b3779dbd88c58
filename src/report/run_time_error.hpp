#pragma once
// The run-time error being handled, for the handlers that report a failure in the TraceLog.

#include <quorvel/error.hpp>

#include <exception>
#include <new>

namespace quorvel::report {

// Call only inside a catch block. Returns the exception being handled as a run-time error: a
// quorvel::Error as it is, a failed allocation as error 7 "Mémoire insuffisante", any other
// standard exception as error 51 (internal error) with its text. Anything else is rethrown.
inline Error CurrentError() {
    try {
        throw;
    } catch (const Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return Error(7, "Mémoire insuffisante");
    } catch (const std::exception& e) {
        return Error(51, std::string("Erreur interne : ") + e.what());
    }
}

} // namespace quorvel::report
