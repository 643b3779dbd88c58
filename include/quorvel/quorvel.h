#ifndef QUORVEL_QUORVEL_H
#define QUORVEL_QUORVEL_H
/*
 * quorvel's C interface: the two import classes as any language reaches them.
 *
 * OBJECT MODEL
 *   An object is a struct of function pointers; the data behind it is private to the library.
 *   Every object starts with a quorvel_object (AddRef, Release): a new object holds one
 *   reference, Release frees it when the count drops to zero. Call an object's functions with
 *   the object itself as first argument (obj->bImport_Licence(obj, ...)), or use the quorvel_*
 *   wrappers below, which do exactly that.
 *
 *   A class factory (quorvel_class_factory) creates instances of one class. DllGetClassObject
 *   hands one out for a CLSID; LockServer(factory, 1) keeps the library in use without any
 *   object alive, LockServer(factory, 0) undoes it.
 *
 *   Objects are apartment-threaded: use an object on one thread at a time. Calls are
 *   synchronous; a method returns when its run is over.
 *
 * STRINGS
 *   Every text is UTF-8 and NUL-terminated. A NULL text is read as the empty text.
 *
 * ERRORS
 *   Entry points and object functions return a quorvel_hresult (see identity.h). A method whose
 *   run fails with an error that it does not handle itself returns QUORVEL_DISP_E_EXCEPTION and
 *   fills the quorvel_error passed to it (number and French description); on success that
 *   quorvel_error is cleared (number 0, empty description). No C++ exception leaves the library.
 *
 * REGISTRATION AND THE REGISTRY FILE
 *   DllRegisterServer records the classes, ProgIDs, interfaces and type library, with the path
 *   of the library file that holds them, in a per-user registry file:
 *
 *       $XDG_CONFIG_HOME/quorvel/registry.ini      ($XDG_CONFIG_HOME when set to an absolute path)
 *       $HOME/.config/quorvel/registry.ini         (otherwise)
 *
 *   Those two variables are the only environment the library reads, and only to find that file.
 *   The file is plain text, the per-user counterpart of the automation platform's class
 *   registry:
 *
 *       # comment                       lines starting with '#' or ';' are comments
 *       [CLSID\{FBE9A974-...}]          a key, its path separated by backslashes
 *       @=quorvel.clsRecupLicence       "@" is the key's default value
 *       [CLSID\{FBE9A974-...}\InprocServer32]
 *       @=/usr/lib/libquorvel.so.1      the library that serves the class
 *       ThreadingModel=Apartment        any other value: name=value
 *
 *   Key and value names are compared without regard to case; a value runs to the end of its
 *   line, as written. Registration writes, for each class, CLSID\{clsid} with the subkeys
 *   InprocServer32, ProgID, Programmable, TypeLib and VERSION; the ProgID key with its Clsid
 *   subkey; Interface\{iid} with its TypeLib subkey; and TypeLib\{libid}\1.0 with the subkeys
 *   0\linux64 (the library's path), FLAGS and HELPDIR. Registering again replaces those keys.
 *   DllUnregisterServer removes exactly those keys (and anything below them) and leaves every
 *   other line of the file as it was; a file left with nothing but its header comment is
 *   deleted.
 *
 *   quorvel_CreateInstanceByProgID reads the file the way the platform's object creation
 *   reads its registry: ProgID -> Clsid -> CLSID\{clsid}\InprocServer32, loads that library and
 *   asks its DllGetClassObject for a factory. A server library, once loaded, stays loaded for
 *   the life of the process.
 */

#include <quorvel/identity.h>

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Object model ---------------------------------------------------------------------- */

typedef struct quorvel_object quorvel_object;
struct quorvel_object {
    /* Adds a reference; returns the new count. */
    uint32_t (*AddRef)(quorvel_object* self);
    /* Drops a reference, freeing the object at zero; returns the new count. */
    uint32_t (*Release)(quorvel_object* self);
};

typedef struct quorvel_class_factory quorvel_class_factory;
struct quorvel_class_factory {
    quorvel_object object;
    /* Creates an instance of the factory's class with the interface `riid` (the class's
       interface identifier or QUORVEL_IID_IUnknown). On success *ppv holds the new object
       (one reference); otherwise *ppv is NULL and the result is QUORVEL_E_NOINTERFACE,
       QUORVEL_E_POINTER or QUORVEL_E_OUTOFMEMORY. */
    quorvel_hresult (*CreateInstance)(quorvel_class_factory* self, const quorvel_guid* riid, void** ppv);
    /* Non-zero `lock` counts one lock on the library; zero releases one. Releasing a lock that
       was never taken returns QUORVEL_E_UNEXPECTED. */
    quorvel_hresult (*LockServer)(quorvel_class_factory* self, int lock);
};

/* The caller's form on which a run shows its progress: a progress bar (0 to 100), labels
   (the run writes label 2) and a repaint request. Each function receives `user_data`. Pass
   NULL instead of a table for no form at all; a table with a NULL function makes the run fail
   with error 438 when it needs that function. */
typedef struct quorvel_host_form {
    void* user_data;
    double (*get_progress_value)(void* user_data);
    void (*set_progress_value)(void* user_data, double value);
    void (*set_label_caption)(void* user_data, int index, const char* caption);
    void (*refresh)(void* user_data);
} quorvel_host_form;

/* The failure of a method: a run-time error's number and its description (UTF-8, cut at a
   character boundary to fit). */
#define QUORVEL_ERROR_DESCRIPTION_SIZE 1024
typedef struct quorvel_error {
    int32_t number;
    char description[QUORVEL_ERROR_DESCRIPTION_SIZE];
} quorvel_error;

/* clsRecupLicence, interface _clsRecupLicence. */
typedef struct quorvel_clsRecupLicence quorvel_clsRecupLicence;
struct quorvel_clsRecupLicence {
    quorvel_object object;
    /* Imports club.txt and licence.txt of `strRepSource` into the database `strFileBase_P`,
       working on copies made in `strRepTempo`, and writes the TraceLog `strFileTrace_P`.
       *pResult is QUORVEL_TRUE when the import ran to its end, QUORVEL_FALSE when it could not
       start (see the TraceLog). `objFormCible` may be NULL; `pError` may be NULL. */
    quorvel_hresult (*bImport_Licence)(quorvel_clsRecupLicence* self, const char* strFileBase_P,
                                       const char* strRepSource, const char* strRepTempo,
                                       const char* strFileTrace_P, const quorvel_host_form* objFormCible,
                                       quorvel_bool* pResult, quorvel_error* pError);
};

/* clsMajIUF, interface _clsMajIUF. */
typedef struct quorvel_clsMajIUF quorvel_clsMajIUF;
struct quorvel_clsMajIUF {
    quorvel_object object;
    /* Writes the IUF codes read from the IUF files of `strRepSource` into the database
       `strFileBase_P` and writes the TraceLog `strFileTrace_P`. With `bOnlyMonCLub` true, only
       the licences of the club `strCodeMonClub` are updated. *pResult is QUORVEL_TRUE when
       every file was examined, QUORVEL_FALSE when the run could not start. */
    quorvel_hresult (*bImport_CodeIUF)(quorvel_clsMajIUF* self, const char* strRepSource,
                                       const char* strFileBase_P, const char* strFileTrace_P,
                                       const quorvel_host_form* objFormCible, quorvel_bool bOnlyMonCLub,
                                       const char* strCodeMonClub, quorvel_bool* pResult,
                                       quorvel_error* pError);
};

/* ---- Entry points of the in-process server ---------------------------------------------- */

/* Records this library's classes in the registry file. QUORVEL_SELFREG_E_CLASS when the file
   cannot be written or the library cannot find its own path. */
QUORVEL_API quorvel_hresult DllRegisterServer(void);
/* Removes what DllRegisterServer recorded. QUORVEL_S_OK also when nothing was registered. */
QUORVEL_API quorvel_hresult DllUnregisterServer(void);
/* A class factory for `rclsid`, with interface `riid` (QUORVEL_IID_IClassFactory or
   QUORVEL_IID_IUnknown). QUORVEL_CLASS_E_CLASSNOTAVAILABLE for a CLSID of no class here. */
QUORVEL_API quorvel_hresult DllGetClassObject(const quorvel_guid* rclsid, const quorvel_guid* riid, void** ppv);
/* QUORVEL_S_OK when no object (factories included) and no lock is alive, else QUORVEL_S_FALSE. */
QUORVEL_API quorvel_hresult DllCanUnloadNow(void);

/* ---- Creation ---------------------------------------------------------------------------- */

/* Creates an instance of `clsid` served by this library, without the registry file. */
QUORVEL_API quorvel_hresult quorvel_CreateInstance(const quorvel_guid* clsid, const quorvel_guid* riid, void** ppv);
/* Creates an instance of the class registered under `progid` in the registry file, through
   the registered library's DllGetClassObject. */
QUORVEL_API quorvel_hresult quorvel_CreateInstanceByProgID(const char* progid, const quorvel_guid* riid, void** ppv);

/* ---- Wrappers: call through the object's own functions ----------------------------------- */

QUORVEL_API uint32_t quorvel_AddRef(quorvel_object* object);
/* Releases `object`; NULL is ignored. */
QUORVEL_API uint32_t quorvel_Release(quorvel_object* object);

QUORVEL_API quorvel_hresult quorvel_bImport_Licence(quorvel_clsRecupLicence* self, const char* strFileBase_P,
                                        const char* strRepSource, const char* strRepTempo,
                                        const char* strFileTrace_P, const quorvel_host_form* objFormCible,
                                        quorvel_bool* pResult, quorvel_error* pError);

QUORVEL_API quorvel_hresult quorvel_bImport_CodeIUF(quorvel_clsMajIUF* self, const char* strRepSource,
                                        const char* strFileBase_P, const char* strFileTrace_P,
                                        const quorvel_host_form* objFormCible, quorvel_bool bOnlyMonCLub,
                                        const char* strCodeMonClub, quorvel_bool* pResult,
                                        quorvel_error* pError);

#ifdef __cplusplus
}
#endif

#endif /* QUORVEL_QUORVEL_H */
