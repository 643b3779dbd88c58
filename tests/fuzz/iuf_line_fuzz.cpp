// The IUF update of one file of arbitrary bytes, with and then without the club filter, on a
// database holding the sample export: bad lines are counted or end the file with a message, the
// filter keeps every other club's licences as they were, and no stored licence changes anything
// but its IUF code.

#include "fuzz_support.hpp"

#include "iuf/iuf_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    constexpr auto kOthers = "select Num, Code_unique from Licence where Code_club <> 'FRA1010350007'";
    static const std::string path = fuzz::Folder() + "/codes_iuf.txt";
    fuzz::WriteFile(path, {reinterpret_cast<const char*>(data), size});
    ImportSession& session = fuzz::Session();
    std::string others = fuzz::Rows(session.objConnexion, kOthers);
    Maj_FichierIUF(session, path, 1.0, 1, true, "FRA1010350007");
    if (fuzz::Rows(session.objConnexion, kOthers) != others)
        fuzz::Finding("the filter let another club through");
    Maj_FichierIUF(session, path, 1.0, 1, false, "");
    if (fuzz::Rows(session.objConnexion, "select changed from Watch") != "|\n")
        fuzz::Finding("the IUF update changed more than IUF codes");
    return 0;
}
