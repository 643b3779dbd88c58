#pragma once
// The passwords a PostgreSQL URI holds, kept out of messages (quorvel::ShownDatabase masks the
// URI itself).

#include <string>

namespace quorvel::storage {

// `message` (a server's or libpq's) with every password of `uri` in it replaced by "***",
// including the part of a password after an unencoded '@', which libpq reads as a host name.
std::string WithoutPassword(std::string message, const std::string& uri);

} // namespace quorvel::storage
