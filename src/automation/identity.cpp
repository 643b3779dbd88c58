#include "automation/identity.hpp"

#include <cstdio>

extern "C" {
const quorvel_guid QUORVEL_LIBID_quorvel = {
    0x826B4490, 0x584B, 0x4C0C, {0xA8, 0xCE, 0x83, 0x96, 0x4F, 0xFE, 0x07, 0x4D}};
const quorvel_guid QUORVEL_CLSID_clsRecupLicence = {
    0xFBE9A974, 0x9666, 0x4605, {0x86, 0x92, 0x46, 0xF3, 0xB3, 0x55, 0x09, 0x79}};
const quorvel_guid QUORVEL_CLSID_clsMajIUF = {
    0xF6110953, 0x769F, 0x42A3, {0xAF, 0xAE, 0x12, 0xFB, 0xB1, 0x86, 0xA2, 0x1D}};
const quorvel_guid QUORVEL_IID__clsRecupLicence = {
    0xC407A8DB, 0x01B1, 0x4349, {0x85, 0x20, 0x26, 0x38, 0x1A, 0x4E, 0x41, 0x59}};
const quorvel_guid QUORVEL_IID__clsMajIUF = {
    0xF6426CCC, 0x26F3, 0x4B59, {0x8E, 0xD2, 0xD0, 0x40, 0x16, 0xE9, 0x63, 0xEB}};
const quorvel_guid QUORVEL_IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const quorvel_guid QUORVEL_IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

int quorvel_IsEqualGUID(const quorvel_guid* a, const quorvel_guid* b) {
    return a != nullptr && b != nullptr && quorvel::automation::operator==(*a, *b) ? 1 : 0;
}
}

namespace quorvel::automation {

const std::array<ClassIdentity, 2>& Classes() {
    static const std::array<ClassIdentity, 2> classes{{
        {"clsRecupLicence", QUORVEL_PROGID_clsRecupLicence, &QUORVEL_CLSID_clsRecupLicence,
         "_clsRecupLicence", &QUORVEL_IID__clsRecupLicence},
        {"clsMajIUF", QUORVEL_PROGID_clsMajIUF, &QUORVEL_CLSID_clsMajIUF, "_clsMajIUF",
         &QUORVEL_IID__clsMajIUF},
    }};
    return classes;
}

const ClassIdentity* FindClass(const quorvel_guid& clsid) {
    for (const auto& c : Classes())
        if (*c.clsid == clsid) return &c;
    return nullptr;
}

bool operator==(const quorvel_guid& a, const quorvel_guid& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.data4[i] != b.data4[i]) return false;
    return true;
}

std::string GuidToString(const quorvel_guid& g) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.data1), static_cast<unsigned>(g.data2),
                  static_cast<unsigned>(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<quorvel_guid> ParseGuid(std::string_view text) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 38 characters, dashes at fixed places.
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
    unsigned char bytes[16];
    std::size_t n = 0;
    for (std::size_t i = 1; i < 37;) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes[n++] = static_cast<unsigned char>(hi * 16 + lo);
        i += 2;
    }
    quorvel_guid g{};
    g.data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
              (std::uint32_t{bytes[2]} << 8) | bytes[3];
    g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.data4[i] = bytes[8 + i];
    return g;
}

} // namespace quorvel::automation
