#include "automation/registry_windows.hpp"

#include "automation/identity.hpp"

namespace quorvel::automation {

namespace {

// The root under which the classes are written.
HKEY Root(RegistryScope scope, HKEY& opened) {
    opened = nullptr;
    if (scope == RegistryScope::kMachine) return HKEY_CLASSES_ROOT;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &opened, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return opened;
}

// Creates `key` below `root` with its default value and, when `name` is given, one named value.
LSTATUS Write(HKEY root, const std::wstring& key, const std::wstring& value, const wchar_t* name = nullptr,
              const std::wstring& named = {}) {
    HKEY k = nullptr;
    LSTATUS s = ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
    if (s != ERROR_SUCCESS) return s;
    auto set = [&](const wchar_t* n, const std::wstring& v) {
        return ::RegSetValueExW(k, n, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                                static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
    };
    if (!value.empty()) s = set(nullptr, value);
    if (s == ERROR_SUCCESS && name != nullptr) s = set(name, named);
    ::RegCloseKey(k);
    return s;
}

std::wstring ClassKey(const ClassIdentity& c) {
    return L"CLSID\\" + Wide(GuidToString(*c.clsid));
}

LSTATUS WriteClass(HKEY root, const ClassIdentity& c, const std::wstring& modulePath) {
    const std::wstring progId = Wide(std::string(c.progId));
    const std::wstring clsid = Wide(GuidToString(*c.clsid));
    const std::wstring key = ClassKey(c);
    const std::wstring version = std::to_wstring(QUORVEL_TYPELIB_VERSION_MAJOR) + L"." +
                                 std::to_wstring(QUORVEL_TYPELIB_VERSION_MINOR);
    LSTATUS s = Write(root, key, progId);
    if (s == ERROR_SUCCESS)
        s = Write(root, key + L"\\InprocServer32", modulePath, L"ThreadingModel",
                  L"" QUORVEL_THREADING_MODEL);
    if (s == ERROR_SUCCESS) s = Write(root, key + L"\\ProgID", progId);
    if (s == ERROR_SUCCESS) s = Write(root, key + L"\\Programmable", L"");
    if (s == ERROR_SUCCESS) s = Write(root, key + L"\\VERSION", version);
    if (s == ERROR_SUCCESS) s = Write(root, progId, progId);
    if (s == ERROR_SUCCESS) s = Write(root, progId + L"\\Clsid", clsid);
    return s;
}

LSTATUS RemoveTree(HKEY root, const std::wstring& key) {
    LSTATUS s = ::RegDeleteTreeW(root, key.c_str());
    if (s == ERROR_SUCCESS) s = ::RegDeleteKeyW(root, key.c_str());
    return s == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : s;
}

HRESULT Result(LSTATUS s) {
    if (s == ERROR_SUCCESS) return S_OK;
    return s == ERROR_ACCESS_DENIED ? E_ACCESSDENIED : SELFREG_E_CLASS;
}

} // namespace

HRESULT RegisterServer(RegistryScope scope, const std::wstring& modulePath) {
    if (HRESULT hr = UnregisterServer(scope); FAILED(hr)) return hr;
    HKEY opened;
    HKEY root = Root(scope, opened);
    if (root == nullptr) return SELFREG_E_CLASS;
    LSTATUS s = ERROR_SUCCESS;
    for (const auto& c : Classes())
        if (s == ERROR_SUCCESS) s = WriteClass(root, c, modulePath);
    if (opened != nullptr) ::RegCloseKey(opened);
    if (s != ERROR_SUCCESS) UnregisterServer(scope);
    return Result(s);
}

HRESULT UnregisterServer(RegistryScope scope) {
    HKEY opened;
    HKEY root = Root(scope, opened);
    if (root == nullptr) return SELFREG_E_CLASS;
    LSTATUS s = ERROR_SUCCESS;
    for (const auto& c : Classes()) {
        LSTATUS a = RemoveTree(root, ClassKey(c));
        LSTATUS b = RemoveTree(root, Wide(std::string(c.progId)));
        if (s == ERROR_SUCCESS) s = a != ERROR_SUCCESS ? a : b;
    }
    if (opened != nullptr) ::RegCloseKey(opened);
    return Result(s);
}

} // namespace quorvel::automation
