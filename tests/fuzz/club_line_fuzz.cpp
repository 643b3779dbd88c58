// The club pass over a club.txt of arbitrary bytes, on a database holding the sample export: it
// reports every failure instead of throwing it, and never changes or removes a stored row.

#include "fuzz_support.hpp"

#include "clubs/club_pass.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = quorvel::fuzz::Folder() + "/club.txt";
    quorvel::fuzz::WriteFile(path, {reinterpret_cast<const char*>(data), size});
    quorvel::ImportSession& session = quorvel::fuzz::Session();
    quorvel::clubs::Import_Club(session, path, 1.0, 1);
    if (quorvel::fuzz::Rows(session.objConnexion, "select changed from Watch") != "|\n")
        quorvel::fuzz::Finding("the club pass changed or removed a stored row");
    return 0;
}
