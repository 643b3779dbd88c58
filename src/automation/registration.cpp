#include "automation/registration.hpp"

#include "automation/identity.hpp"

#include <quorvel/error.hpp>

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <string_view>
#include <vector>

namespace quorvel::automation {

namespace fs = std::filesystem;

namespace {

using Values = std::vector<std::pair<std::string, std::string>>;

const std::string kTypeLibVersion =
    std::to_string(QUORVEL_TYPELIB_VERSION_MAJOR) + "." + std::to_string(QUORVEL_TYPELIB_VERSION_MINOR);
// The platform key under a type library's locale, as "win32"/"win64" are elsewhere.
constexpr std::string_view kPlatform = sizeof(void*) == 8 ? "linux64" : "linux32";

std::string ClassKey(const ClassIdentity& c) {
    return "CLSID\\" + GuidToString(*c.clsid);
}
std::string InterfaceKey(const ClassIdentity& c) {
    return "Interface\\" + GuidToString(*c.iid);
}
std::string TypeLibKey() {
    return "TypeLib\\" + GuidToString(QUORVEL_LIBID_quorvel) + "\\" + kTypeLibVersion;
}

} // namespace

void RegisterServer(RegistryFile& file, const std::string& modulePath) {
    UnregisterServer(file);
    const std::string libid = GuidToString(QUORVEL_LIBID_quorvel);
    for (const auto& c : Classes()) {
        const std::string clsid = GuidToString(*c.clsid);
        const std::string key = ClassKey(c);
        const std::string progId(c.progId);
        file.AddKey(key, Values{{"@", progId}});
        file.AddKey(key + "\\InprocServer32",
                    Values{{"@", modulePath}, {"ThreadingModel", QUORVEL_THREADING_MODEL}});
        file.AddKey(key + "\\ProgID", Values{{"@", progId}});
        file.AddKey(key + "\\Programmable", Values{});
        file.AddKey(key + "\\TypeLib", Values{{"@", libid}});
        file.AddKey(key + "\\VERSION", Values{{"@", kTypeLibVersion}});
        file.AddKey(progId, Values{{"@", progId}});
        file.AddKey(progId + "\\Clsid", Values{{"@", clsid}});
        file.AddKey(InterfaceKey(c), Values{{"@", std::string(c.interfaceName)}});
        file.AddKey(InterfaceKey(c) + "\\TypeLib", Values{{"@", libid}, {"Version", kTypeLibVersion}});
    }
    const std::string typeLib = TypeLibKey();
    file.AddKey(typeLib, Values{{"@", QUORVEL_TYPELIB_NAME}});
    file.AddKey(typeLib + "\\" + std::to_string(QUORVEL_TYPELIB_LCID) + "\\" + std::string(kPlatform),
                Values{{"@", modulePath}});
    file.AddKey(typeLib + "\\FLAGS", Values{{"@", "0"}});
    file.AddKey(typeLib + "\\HELPDIR", Values{{"@", fs::path(modulePath).parent_path().string()}});
}

void UnregisterServer(RegistryFile& file) {
    for (const auto& c : Classes()) {
        file.RemoveTree(ClassKey(c));
        file.RemoveTree(c.progId);
        file.RemoveTree(InterfaceKey(c));
    }
    file.RemoveTree(TypeLibKey());
}

std::string ModulePath() {
    Dl_info info{};
    link_map* map = nullptr;
    if (::dladdr1(reinterpret_cast<void*>(&ModulePath), &info, reinterpret_cast<void**>(&map),
                  RTLD_DL_LINKMAP) != 0) {
        // The program itself has an empty name in the loader's list.
        if (map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0')
            return fs::absolute(map->l_name).lexically_normal().string();
    }
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) throw Error(errnum::kFileNotFound, "Chemin de la bibliothèque introuvable");
    return self.string();
}

} // namespace quorvel::automation
