// The club pass over a club.txt of arbitrary bytes, on a database holding the sample export: the
// pass reports what it cannot use and never changes or removes a club stored before it.

#include "fuzz_support.hpp"

#include "clubs/club_pass.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    static fuzz::OpenSession session("club_line");
    static const std::string path = fuzz::ProcessFolder() + "/club.txt";
    fuzz::WriteBytes(path, data, size);
    session.Restart();
    clubs::Import_Club(*session, path, 1.0);
    fuzz::CheckSampleRows((*session).objConnexion);
    return 0;
}
