#pragma once
// The IUF update run over every file of the source folder.

#include <cstdint>
#include <string>

namespace quorvel {
struct ImportSession;

// An IUF line holds 45 characters, 47 with its line end.
inline constexpr std::int64_t kLongueurLigneIUF = 47;

// True when the file `path` is an IUF file: its first line, line end included, is
// kLongueurLigneIUF characters long. Throws quorvel::Error when the file cannot be read.
bool bFichierIUF(const std::string& path);

// Examines every file directly in `strRepSource`, in ascending order of name, and hands each IUF
// file to Maj_FichierIUF. Returns true once every file has been examined.
bool bMaj_CodesIUF(ImportSession& session, const std::string& strRepSource, bool bOnlyMonCLub,
                   const std::string& strCodeMonClub);

} // namespace quorvel
