// Uses the installed C++ interface: the same run as consumer.c. Usage: consumer_cxx FOLDER
#include <quorvel/clsMajIUF.hpp>
#include <quorvel/identity.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::string folder = argv[1];
    quorvel::clsMajIUF updater(quorvel::FixedClock(2026, 1, 1));
    if (updater.bImport_CodeIUF(folder, folder + "/missing.db", folder + "/trace.log", nullptr, false, ""))
        return 4;
    std::cout << "consumer_cxx " << QUORVEL_FILE_VERSION_TEXT << ": ok\n";
    return 0;
}
