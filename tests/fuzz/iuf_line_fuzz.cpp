// The IUF update of one file of arbitrary bytes, with and without the club filter, on a database
// holding the sample export: bad lines are counted or end the file with a message, and no stored
// licence changes anything but its IUF code.

#include "fuzz_support.hpp"

#include "iuf/iuf_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    static fuzz::OpenSession session("iuf_line");
    static const std::string path = fuzz::ProcessFolder() + "/codes_iuf.txt";
    fuzz::WriteBytes(path, data, size);
    session.Restart();
    Maj_FichierIUF(*session, path, 1.0, false, "");
    Maj_FichierIUF(*session, path, 1.0, true, "FRA1010350007");
    fuzz::CheckSampleRows((*session).objConnexion);
    return 0;
}
