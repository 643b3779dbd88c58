/* Uses the installed C interface: creates the IUF class directly and runs it on a database that
   does not exist, which the run reports as a false result. Usage: consumer FOLDER */
#include <quorvel/quorvel.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    char db[4096], trace[4096];
    quorvel_clsMajIUF* updater = NULL;
    quorvel_bool result = QUORVEL_TRUE;
    quorvel_error error;
    quorvel_hresult hr;
    if (argc != 2) return 2;
    snprintf(db, sizeof db, "%s/missing.db", argv[1]);
    snprintf(trace, sizeof trace, "%s/trace.log", argv[1]);
    hr = quorvel_CreateInstance(&QUORVEL_CLSID_clsMajIUF, &QUORVEL_IID__clsMajIUF, (void**)&updater);
    if (hr != QUORVEL_S_OK) return 3;
    hr = updater->bImport_CodeIUF(updater, argv[1], db, trace, NULL, QUORVEL_FALSE, "", &result, &error);
    quorvel_Release(&updater->object);
    if (hr != QUORVEL_S_OK || result != QUORVEL_FALSE || DllCanUnloadNow() != QUORVEL_S_OK) return 4;
    printf("consumer %s: ok\n", QUORVEL_FILE_VERSION_TEXT);
    return 0;
}
