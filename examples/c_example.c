/*
 * A host program in C: registers the library, creates the two classes by their ProgIDs through
 * the registry file and the entry points, imports an export folder with a progress form, then
 * writes the IUF codes of the same folder, and unregisters the library again.
 *
 *   c_example DATABASE EXPORT_FOLDER WORK_FOLDER LICENCE_TRACE IUF_TRACE
 *
 * DATABASE must exist (quorvel init-db DATABASE). The registry file is the per-user one
 * ($XDG_CONFIG_HOME/quorvel/registry.ini); the example leaves it as it found it, removing any
 * earlier registration of quorvel. Exit status 0 when both runs got through.
 */

#include <quorvel/quorvel.h>

#include <stdio.h>

/* The example's "window": it remembers the progress value and prints each new file name. */
struct progress_window {
    double value;
    int refreshes;
};

static double get_value(void* user_data) {
    return ((struct progress_window*)user_data)->value;
}

static void set_value(void* user_data, double value) {
    ((struct progress_window*)user_data)->value = value;
}

static void set_caption(void* user_data, int index, const char* caption) {
    (void)user_data;
    printf("label %d: %s\n", index, caption);
}

static void refresh(void* user_data) {
    ((struct progress_window*)user_data)->refreshes++;
}

static int failed(const char* what, quorvel_hresult hr, const quorvel_error* error) {
    fprintf(stderr, "%s failed: 0x%08X", what, (unsigned)hr);
    if (error != NULL && error->number != 0)
        fprintf(stderr, " (Erreur n° %d: %s)", error->number, error->description);
    fprintf(stderr, "\n");
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: c_example DATABASE EXPORT_FOLDER WORK_FOLDER LICENCE_TRACE IUF_TRACE\n");
        return 2;
    }
    const char* database = argv[1];
    const char* source = argv[2];
    const char* work = argv[3];
    const char* licenceTrace = argv[4];
    const char* iufTrace = argv[5];

    quorvel_hresult hr = DllRegisterServer();
    if (QUORVEL_FAILED(hr)) return failed("DllRegisterServer", hr, NULL);

    struct progress_window window = {0.0, 0};
    quorvel_host_form form = {&window, get_value, set_value, set_caption, refresh};
    quorvel_error error;
    quorvel_bool result = QUORVEL_FALSE;
    int status = 0;

    quorvel_clsRecupLicence* importer = NULL;
    hr = quorvel_CreateInstanceByProgID(QUORVEL_PROGID_clsRecupLicence, &QUORVEL_IID__clsRecupLicence,
                                        (void**)&importer);
    if (QUORVEL_FAILED(hr)) {
        status = failed("creating " QUORVEL_PROGID_clsRecupLicence, hr, NULL);
    } else {
        hr =
            importer->bImport_Licence(importer, database, source, work, licenceTrace, &form, &result, &error);
        quorvel_Release(&importer->object);
        if (QUORVEL_FAILED(hr)) {
            status = failed("bImport_Licence", hr, &error);
        } else {
            printf("bImport_Licence: %s, progress %.0f, %d refreshes\n",
                   result == QUORVEL_TRUE ? "true" : "false", window.value, window.refreshes);
            if (result != QUORVEL_TRUE) status = 1;
        }
    }

    quorvel_clsMajIUF* updater = NULL;
    hr = quorvel_CreateInstanceByProgID(QUORVEL_PROGID_clsMajIUF, &QUORVEL_IID__clsMajIUF, (void**)&updater);
    if (QUORVEL_FAILED(hr)) {
        status = failed("creating " QUORVEL_PROGID_clsMajIUF, hr, NULL);
    } else {
        hr = quorvel_bImport_CodeIUF(updater, source, database, iufTrace, &form, QUORVEL_FALSE, "", &result,
                                     &error);
        quorvel_Release(&updater->object);
        if (QUORVEL_FAILED(hr)) {
            status = failed("bImport_CodeIUF", hr, &error);
        } else {
            printf("bImport_CodeIUF: %s\n", result == QUORVEL_TRUE ? "true" : "false");
            if (result != QUORVEL_TRUE) status = 1;
        }
    }

    printf("DllCanUnloadNow: %s\n", DllCanUnloadNow() == QUORVEL_S_OK ? "yes" : "no");
    hr = DllUnregisterServer();
    if (QUORVEL_FAILED(hr)) return failed("DllUnregisterServer", hr, NULL);
    return status;
}
