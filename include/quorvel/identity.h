#ifndef QUORVEL_IDENTITY_H
#define QUORVEL_IDENTITY_H
/*
 * The component's identity as a host application binds to it: type library, classes, ProgIDs,
 * interfaces, dispatch identifiers, threading model and file version. These values never change
 * from one build to the next. Usable from C and C++.
 *
 *   type library   "quorvel" 1.0, locale neutral (0)      {826B4490-584B-4C0C-A8CE-83964FFE074D}
 *   clsRecupLicence  CLSID                                  {FBE9A974-9666-4605-8692-46F3B3550979}
 *                    ProgID "quorvel.clsRecupLicence"
 *                    interface _clsRecupLicence             {C407A8DB-01B1-4349-8520-26381A4E4159}
 *                    method bImport_Licence, DISPID 0x60030000
 *   clsMajIUF        CLSID                                  {F6110953-769F-42A3-AFAE-12FBB186A21D}
 *                    ProgID "quorvel.clsMajIUF"
 *                    interface _clsMajIUF                   {F6426CCC-26F3-4B59-8ED2-D04016E963EB}
 *                    method bImport_CodeIUF, DISPID 0x60030000
 *   threading model  "Apartment"
 *   file version     the project's version (quorvel/version.h), e.g. 1.1.0.2, text "1.01.0002"
 */

#include <quorvel/export.h>
#include <quorvel/version.h>

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A 128-bit globally unique identifier, laid out as the automation platform lays it out. */
typedef struct quorvel_guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} quorvel_guid;

/* Result code of the entry points and of the object model: negative means failure. */
typedef int32_t quorvel_hresult;

/* An automation Boolean: true is -1, false is 0. Any other non-zero value read as true. */
typedef int16_t quorvel_bool;
#define QUORVEL_TRUE ((quorvel_bool)-1)
#define QUORVEL_FALSE ((quorvel_bool)0)

#define QUORVEL_SUCCEEDED(hr) ((quorvel_hresult)(hr) >= 0)
#define QUORVEL_FAILED(hr) ((quorvel_hresult)(hr) < 0)

/* Result codes, with the values the automation platform gives them. */
#define QUORVEL_S_OK ((quorvel_hresult)0)
#define QUORVEL_S_FALSE ((quorvel_hresult)1)
#define QUORVEL_E_UNEXPECTED ((quorvel_hresult)0x8000FFFF)
#define QUORVEL_E_NOINTERFACE ((quorvel_hresult)0x80004002)
#define QUORVEL_E_POINTER ((quorvel_hresult)0x80004003)
#define QUORVEL_E_FAIL ((quorvel_hresult)0x80004005)
#define QUORVEL_E_OUTOFMEMORY ((quorvel_hresult)0x8007000E)
#define QUORVEL_E_INVALIDARG ((quorvel_hresult)0x80070057)
/* A method raised a run-time error; its number and description are in the quorvel_error. */
#define QUORVEL_DISP_E_EXCEPTION ((quorvel_hresult)0x80020009)
/* DllGetClassObject: the CLSID is not one of this library's classes. */
#define QUORVEL_CLASS_E_CLASSNOTAVAILABLE ((quorvel_hresult)0x80040111)
/* Creation by ProgID: the CLSID has no server library registered. */
#define QUORVEL_REGDB_E_CLASSNOTREG ((quorvel_hresult)0x80040154)
/* Creation by ProgID: the ProgID is not registered (or its CLSID is not a valid GUID). */
#define QUORVEL_CO_E_CLASSSTRING ((quorvel_hresult)0x800401F3)
/* Creation by ProgID: the registered server library cannot be loaded. */
#define QUORVEL_CO_E_DLLNOTFOUND ((quorvel_hresult)0x800401F8)
/* Creation by ProgID: the registered library has no DllGetClassObject. */
#define QUORVEL_CO_E_ERRORINDLL ((quorvel_hresult)0x800401F9)
/* Creation by ProgID: the registry file exists but cannot be read. */
#define QUORVEL_REGDB_E_READREGDB ((quorvel_hresult)0x80040150)
/* DllRegisterServer / DllUnregisterServer: the registry file could not be read or written, or
   the library could not find its own path. */
#define QUORVEL_SELFREG_E_CLASS ((quorvel_hresult)0x80040201)

/* Type library. */
#define QUORVEL_TYPELIB_NAME "quorvel"
#define QUORVEL_TYPELIB_VERSION_MAJOR 1
#define QUORVEL_TYPELIB_VERSION_MINOR 0
#define QUORVEL_TYPELIB_LCID 0
QUORVEL_API extern const quorvel_guid QUORVEL_LIBID_quorvel;

/* Classes and their default interfaces. */
#define QUORVEL_PROGID_clsRecupLicence "quorvel.clsRecupLicence"
#define QUORVEL_PROGID_clsMajIUF "quorvel.clsMajIUF"
QUORVEL_API extern const quorvel_guid QUORVEL_CLSID_clsRecupLicence;
QUORVEL_API extern const quorvel_guid QUORVEL_CLSID_clsMajIUF;
QUORVEL_API extern const quorvel_guid QUORVEL_IID__clsRecupLicence;
QUORVEL_API extern const quorvel_guid QUORVEL_IID__clsMajIUF;

/* The standard interfaces of the object model: every object, and a class factory. */
QUORVEL_API extern const quorvel_guid QUORVEL_IID_IUnknown;      /* {00000000-0000-0000-C000-000000000046} */
QUORVEL_API extern const quorvel_guid QUORVEL_IID_IClassFactory; /* {00000001-0000-0000-C000-000000000046} */

/* Dispatch identifiers: each interface's one method comes first after the dispatch methods. */
#define QUORVEL_DISPID_bImport_Licence 0x60030000
#define QUORVEL_DISPID_bImport_CodeIUF 0x60030000

#define QUORVEL_THREADING_MODEL "Apartment"

/* Non-zero when both identifiers are the same. */
QUORVEL_API int quorvel_IsEqualGUID(const quorvel_guid* a, const quorvel_guid* b);

#ifdef __cplusplus
}
#endif

#endif /* QUORVEL_IDENTITY_H */
