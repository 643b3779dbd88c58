// gen_export: writes a synthetic federation export (club.txt, licence.txt,
// origine.txt, iuf.txt) for benchmarks and large-volume tests.
//
//   gen_export --out DIR --licences N [--seed S] [--reference FILE]
//
// Output follows the federation's byte format: one byte per character,
// lower-case accented letters in DOS code page 850, CR LF line ends,
// fixed-width records of 43 (club), 248 (licence) and 45 (IUF) characters.
// The output depends only on N, the seed and the reference file: the program
// uses its own PRNG and never the standard distributions, whose results
// differ between library versions.
//
// What the export holds, for N licence lines:
//   - about N/40 clubs, each in a random department of the reference file,
//     plus a national selection (FRA0000000000) and one selection per region
//     that has clubs (FRA + inter-region + region + 0000000); club.txt lists
//     them all;
//   - about 2% relay lines (R + 5 digits), 3% selection entries and 2% exact
//     repeats of a recent earlier line; the rest are swimmers' own licences;
//   - licence numbers unique inside a club, starting with the two-digit birth
//     year of the swimmer;
//   - a selection entry names, in its origin field, the club and licence of a
//     swimmer's own line. Lines are sorted by club code, so every selection
//     entry comes before the swimmer's own line. A swimmer is in at most one
//     selection, and a selection never lists one licence number twice;
//   - iuf.txt: one line per swimmer licence (relay and selection lines have
//     none), with a unique 7 to 9 digit IUF code.
//
// Standalone: builds with  g++ -std=c++20 -O2 -o gen_export gen_export.cpp

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kClubLine = 43;
constexpr int kLicenceLine = 248;
constexpr int kIufLine = 45;
constexpr int kSeasonYear = 2024; // season start used for ages and deposit dates

// ---------------------------------------------------------------- PRNG

// splitmix64: small, fast and identical on every platform.
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n); the modulo bias is irrelevant for test data.
    uint64_t below(uint64_t n) { return n == 0 ? 0 : next() % n; }
    int range(int lo, int hi) { return lo + static_cast<int>(below(static_cast<uint64_t>(hi - lo + 1))); }
    bool percent(int p) { return below(100) < static_cast<uint64_t>(p); }
    template <class T> const T& pick(const std::vector<T>& v) { return v[below(v.size())]; }
};

uint64_t mix(uint64_t a, uint64_t b) {
    Rng r(a ^ (b * 0xD1B54A32D192ED03ull));
    return r.next();
}

// ---------------------------------------------------------------- DOS text

// UTF-8 to the federation's single-byte form. Only the lower-case accented
// letters that the importer converts back are allowed besides ASCII, so a
// word list entry with any other character is a bug caught at start-up.
std::string toDos(std::string_view utf8) {
    static const std::map<std::string_view, char> table = {
        {"ü", '\x81'}, {"é", '\x82'}, {"â", '\x83'}, {"ä", '\x84'}, {"à", '\x85'},
        {"ç", '\x87'}, {"ê", '\x88'}, {"ë", '\x89'}, {"è", '\x8A'}, {"ï", '\x8B'},
        {"î", '\x8C'}, {"ô", '\x93'}, {"ö", '\x94'}, {"û", '\x96'}, {"ù", '\x97'}};
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        auto it = i + 2 <= utf8.size() ? table.find(utf8.substr(i, 2)) : table.end();
        if (it == table.end())
            throw std::runtime_error("character without a DOS form in \"" + std::string(utf8) + "\"");
        out += it->second;
        i += 2;
    }
    return out;
}

std::vector<std::string> dosList(std::initializer_list<const char*> words) {
    std::vector<std::string> v;
    v.reserve(words.size());
    for (const char* w : words)
        v.push_back(toDos(w));
    return v;
}

// ---------------------------------------------------------------- word lists

struct Words {
    std::vector<std::string> surnames, accentedSurnames, apostropheSurnames;
    std::vector<std::string> girls, boys;
    std::vector<std::string> streetTypes, streetNames, suites;
    std::vector<std::string> townStems, townSuffixes;
    std::vector<std::string> clubPatterns;
    std::vector<std::string> relayNames;
};

Words makeWords() {
    Words w;
    w.surnames =
        dosList({"MARTIN",    "BERNARD",    "THOMAS",   "PETIT",       "ROBERT",     "RICHARD",   "DURAND",
                 "DUBOIS",    "MOREAU",     "LAURENT",  "SIMON",       "MICHEL",     "LEFEBVRE",  "LEROY",
                 "ROUX",      "DAVID",      "BERTRAND", "MOREL",       "FOURNIER",   "GIRARD",    "BONNET",
                 "DUPONT",    "LAMBERT",    "FONTAINE", "ROUSSEAU",    "VINCENT",    "MULLER",    "LEFEVRE",
                 "FAURE",     "ANDRE",      "MERCIER",  "BLANC",       "GUERIN",     "BOYER",     "GARNIER",
                 "CHEVALIER", "FRANCOIS",   "LEGRAND",  "GAUTHIER",    "GARCIA",     "PERRIN",    "ROBIN",
                 "CLEMENT",   "MORIN",      "NICOLAS",  "HENRY",       "ROUSSEL",    "MATHIEU",   "GAUTIER",
                 "MASSON",    "MARCHAND",   "DUVAL",    "DENIS",       "DUMONT",     "MARIE",     "LEMAIRE",
                 "NOEL",      "MEYER",      "DUFOUR",   "MEUNIER",     "BRUN",       "BLANCHARD", "GIRAUD",
                 "JOLY",      "RIVIERE",    "LUCAS",    "BRUNET",      "GAILLARD",   "BARBIER",   "ARNAUD",
                 "MARTINEZ",  "GERARD",     "ROCHE",    "RENARD",      "SCHMITT",    "ROY",       "LEROUX",
                 "COLIN",     "VIDAL",      "CARON",    "PICARD",      "ROGER",      "FABRE",     "AUBERT",
                 "LEMOINE",   "RENAUD",     "DUMAS",    "LACROIX",     "OLIVIER",    "PHILIPPE",  "BOURGEOIS",
                 "PIERRE",    "BENOIT",     "REY",      "LECLERC",     "PAYET",      "ROLLAND",   "LECLERCQ",
                 "GUILLAUME", "LECOMTE",    "LOPEZ",    "JEAN",        "DUPUY",      "GUILLOT",   "HUBERT",
                 "BERGER",    "CARPENTIER", "SANCHEZ",  "DUPUIS",      "MOULIN",     "LOUIS",     "DESCHAMPS",
                 "HUET",      "VASSEUR",    "PEREZ",    "BOUCHER",     "FLEURY",     "ROYER",     "KLEIN",
                 "JACQUET",   "ADAM",       "PARIS",    "POIRIER",     "MARTY",      "AUBRY",     "GUYOT",
                 "CARRE",     "CHARLES",    "RENAULT",  "CHARPENTIER", "MENARD",     "MAILLARD",  "BARON",
                 "BERTIN",    "BAILLY",     "HERVE",    "SCHNEIDER",   "FERNANDEZ",  "LE GALL",   "COLLET",
                 "LEGER",     "BOUVIER",    "JULIEN",   "PREVOST",     "MILLET",     "PERROT",    "DANIEL",
                 "LE ROUX",   "COUSIN",     "GERMAIN",  "BRETON",      "BESSON",     "LANGLOIS",  "REMY",
                 "LE GOFF",   "PELLETIER",  "LEVEQUE",  "PERRIER",     "LEBLANC",    "BARRE",     "LEBRUN",
                 "MARCHAL",   "WEBER",      "MALLET",   "HAMON",       "BOULANGER",  "JACOB",     "MONNIER",
                 "MICHAUD",   "RODRIGUEZ",  "GUICHARD", "GILLET",      "ETIENNE",    "GRONDIN",   "POULAIN",
                 "TESSIER",   "CHAUVIN",    "DA SILVA", "BOUCHET",     "GAY",        "LEMAITRE",  "HUMBERT",
                 "REYNAUD",   "ANTOINE",    "HOARAU",   "PERRET",      "CORDIER",    "PICHON",    "LEJEUNE",
                 "GILBERT",   "LAMY",       "DELAUNAY", "PASQUIER",    "CARLIER",    "LAPORTE",   "KERGOAT",
                 "LE BIHAN",  "TANGUY",     "RIOU",     "CAZENAVE",    "ETCHEVERRY", "LUBIN",     "DESIRE",
                 "NGUYEN",    "DIALLO",     "SCHWARTZ", "BAUER",       "ZIMMERMANN"});
    // Written in mixed case, as the federation sends names that carry accents.
    w.accentedSurnames = dosList(
        {"Lefèvre",    "Gérard",   "Rivière",    "Ménard",    "Bénard",   "Maréchal",  "Hervé",
         "Prévost",    "Lévêque",  "Barthélemy", "Noël",      "Müller",   "Châtelain", "Lefrançois",
         "Désiré",     "Quéméner", "Brûlé",      "Le Hénaff", "Thébault", "Crépin",    "Béranger",
         "Chênevière", "Pérez",    "Lemaître",   "Frémont",   "Mégret",   "Hébert",    "Pétain-Garçon",
         "Besançon",   "Géraud",   "Benoît",     "Valéry"});
    w.apostropheSurnames = dosList({"D'ALMEIDA", "O'NEIL", "D'AMICO", "L'HERMITE", "D'ARGENT", "N'DIAYE",
                                    "D'HARCOURT", "Dell'Acqua", "L'Hôte", "D'Agostino"});
    w.girls =
        dosList({"Léa",       "Emma",     "Chloé",    "Manon",   "Inès",      "Jade",        "Louise",
                 "Camille",   "Zoé",      "Lina",     "Sarah",   "Lola",      "Anaïs",       "Juliette",
                 "Clara",     "Maëlys",   "Noémie",   "Océane",  "Maëlle",    "Léna",        "Mathilde",
                 "Eva",       "Romane",   "Alice",    "Lucie",   "Margaux",   "Pauline",     "Marie",
                 "Julie",     "Nathalie", "Isabelle", "Sylvie",  "Catherine", "Hélène",      "Valérie",
                 "Sandrine",  "Céline",   "Cécile",   "Aurélie", "Stéphanie", "Mélanie",     "Gaëlle",
                 "Françoise", "Brigitte", "Anne",     "Claire",  "Agathe",    "Jeanne",      "Capucine",
                 "Héloïse",   "Maïwenn",  "Solène",   "Ambre",   "Rose",      "Anne-Sophie", "Marie-Hélène"});
    w.boys =
        dosList({"Lucas",    "Hugo",      "Louis",   "Gabriel",       "Arthur",     "Jules",      "Raphaël",
                 "Adam",     "Léo",       "Nathan",  "Théo",          "Tom",        "Ethan",      "Noah",
                 "Maël",     "Mathis",    "Enzo",    "Paul",          "Timéo",      "Sacha",      "Clément",
                 "Baptiste", "Maxime",    "Thomas",  "Antoine",       "Nicolas",    "Julien",     "Alexandre",
                 "Romain",   "Sébastien", "Jérôme",  "Frédéric",      "Stéphane",   "Christophe", "Laurent",
                 "Philippe", "François",  "Benoît",  "Loïc",          "Gaëtan",     "Joël",       "Aurélien",
                 "Jérémy",   "Kévin",     "Mickaël", "Anthony",       "Cédric",     "Hervé",      "Rémi",
                 "Noé",      "Evan",      "Kylian",  "Matthéo",       "Bastien",    "Corentin",   "Yannick",
                 "Erwan",    "Ewen",      "Gwénaël", "Jean-François", "Pierre-Loïc"});
    w.streetTypes =
        dosList({"rue", "rue", "rue", "rue", "avenue", "avenue", "boulevard", "allée", "impasse", "chemin",
                 "place", "quai", "route", "square", "chaussée", "cours", "résidence", "villa", "sentier"});
    w.streetNames = dosList({"des Lilas",
                             "Victor Hugo",
                             "de la République",
                             "Jean Jaurès",
                             "du Général de Gaulle",
                             "Pasteur",
                             "de la Mairie",
                             "du Château",
                             "des Prés",
                             "de la Forêt",
                             "du Moulin",
                             "Gambetta",
                             "Emile Zola",
                             "de l'Abbaye",
                             "d'Alsace",
                             "du 8 Mai 1945",
                             "de la Gare",
                             "des Tilleuls",
                             "Anatole France",
                             "des Frères Lumière",
                             "Paul Bert",
                             "du Stade",
                             "de la Piscine",
                             "des Acacias",
                             "Sadi Carnot",
                             "Clémenceau",
                             "Racine",
                             "Molière",
                             "Voltaire",
                             "de Verdun",
                             "Saint-Exupéry",
                             "Jeanne d'Arc",
                             "Marcel Pagnol",
                             "Jean Moulin",
                             "de Bretagne",
                             "Foch",
                             "Lamartine",
                             "des Hêtres",
                             "de la Fontaine",
                             "du Maréchal Leclerc",
                             "des Peupliers",
                             "Condorcet",
                             "Pierre et Marie Curie",
                             "de l'Océan",
                             "des Mouettes",
                             "du Port",
                             "des Vignes",
                             "de la Libération",
                             "des Bouleaux",
                             "du Four à Chaux",
                             "de la Côte",
                             "des Genêts",
                             "de Provence",
                             "Aristide Briand",
                             "du Bois Joli",
                             "des Marronniers",
                             "du Lavoir"});
    w.suites = dosList({"Bât. A",
                        "Bât. B",
                        "Bât. C",
                        "Bât. D",
                        "Résidence les Pins",
                        "Résidence du Parc",
                        "Résidence les Mouettes",
                        "Escalier B",
                        "Escalier 3",
                        "Lieu-dit la Croix",
                        "Hameau de la Forêt",
                        "Porte 12",
                        "Appartement 4",
                        "Appartement 27",
                        "BP 45",
                        "Chez Mme Dupré",
                        "Lotissement les Chênes",
                        "Cité des Fleurs",
                        "2e étage",
                        "Rés. l'Orée du Bois"});
    w.townStems = dosList(
        {"Saint-Martin",    "Saint-Germain",   "Saint-Julien", "Sainte-Marie",  "Saint-André", "Villeneuve",
         "Beaumont",        "Châteauneuf",     "Montigny",     "Fontaine",      "Neuville",    "Bourg",
         "Rochefort",       "Montfort",        "Villefranche", "Clairvaux",     "Aubigny",     "Lussac",
         "Marsillac",       "Brétigny",        "Sérignan",     "Guémené",       "Plouénan",    "Kerlouan",
         "Vernon-le-Petit", "Belleville",      "Champigny",    "Vitré-la-Haye", "Mérignac",    "Lézignan",
         "Pont-l'Abbé",     "L'Isle-Jourdain", "Oloron",       "Bressuire",     "Marcillac",   "Cernay",
         "Ribeauvillé",     "Bagnères",        "Quimperlé",    "Arçay"});
    w.townSuffixes = dosList({"-sur-Mer", "-sur-Loire", "-sur-Seine", "-lès-Bains", "-la-Forêt",
                              "-le-Château", "-en-Vallée", "-les-Pins", "-sur-Lot", "-d'Aunis", "-la-Rivière",
                              "-en-Forêt", "-du-Lac", "-des-Prés", "-sous-Bois", "-l'Abbaye"});
    w.clubPatterns =
        dosList({"Cercle des nageurs de %", "Club nautique de %", "Entente aquatique de %",
                 "Union sportive % natation", "Stade % natation", "Dauphins de %", "Nautic club %",
                 "Olympique % natation", "Association natation %", "Les Mouettes de %", "Aqua club %",
                 "Racing club % natation", "Nageurs de %", "Espadon club de %", "Sporting natation %"});
    w.relayNames = dosList({"RELAIS 4X50 NL DAMES", "RELAIS 4X50 NL MESSIEURS", "RELAIS 4X100 4N DAMES",
                            "RELAIS 4X100 4N MESSIEURS", "RELAIS 4X50 NL MIXTE", "RELAIS 4X200 NL DAMES",
                            "RELAIS 10X100 NL MIXTE"});
    return w;
}

// ---------------------------------------------------------------- reference data

struct Reference {
    std::set<std::string> pays;
    std::set<int> inter;
    std::map<std::string, int> regionInter;        // region code -> inter-region
    std::map<std::string, std::string> deptRegion; // department code -> region code
    std::vector<std::string> departments;          // file order
};

std::string trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t\r");
    return std::string(s.substr(b, e - b + 1));
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> out;
    size_t p = 0;
    for (;;) {
        size_t q = line.find(';', p);
        out.push_back(
            trim(std::string_view(line).substr(p, q == std::string::npos ? std::string::npos : q - p)));
        if (q == std::string::npos) break;
        p = q + 1;
    }
    return out;
}

bool parseInt(const std::string& s, int& v) {
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && ptr == s.data() + s.size() && !s.empty();
}

Reference loadReference(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read reference file " + path);
    Reference ref;
    std::string section, line;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        throw std::runtime_error(path + ":" + std::to_string(lineNo) + ": " + why);
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        std::string t = trim(line);
        if (t.empty() || t[0] == '#') continue;
        if (t.front() == '[') {
            if (t.back() != ']') fail("bad section header");
            section = t.substr(1, t.size() - 2);
            continue;
        }
        auto f = splitFields(t);
        if (section == "Pays") {
            if (f.size() < 2 || f[0].empty()) fail("expected code;Libelle");
            ref.pays.insert(f[0]);
        } else if (section == "Inter_Region") {
            int code;
            if (f.size() < 2 || !parseInt(f[0], code)) fail("expected Code;Libelle");
            if (code < 0 || code > 9) fail("an inter-region code is one digit");
            ref.inter.insert(code);
        } else if (section == "Region") {
            int inter;
            if (f.size() < 3 || f[0].size() != 2 || !parseInt(f[1], inter))
                fail("expected Code;CodeInter;Libelle");
            ref.regionInter[f[0]] = inter;
        } else if (section == "Departement") {
            if (f.size() < 3 || f[0].size() != 3 || f[1].size() != 2) fail("expected Code;Region;Libelle");
            if (!ref.deptRegion.emplace(f[0], f[1]).second) fail("duplicate department " + f[0]);
            ref.departments.push_back(f[0]);
        } else {
            fail("row outside a known section");
        }
    }
    for (const auto& [dept, region] : ref.deptRegion)
        if (!ref.regionInter.count(region))
            throw std::runtime_error(path + ": department " + dept + " names unknown region " + region);
    for (const auto& [region, inter] : ref.regionInter)
        if (!ref.inter.count(inter))
            throw std::runtime_error(path + ": region " + region + " names unknown inter-region " +
                                     std::to_string(inter));
    if (!ref.pays.count("FRA")) throw std::runtime_error(path + ": FRA missing from [Pays]");
    if (!ref.inter.count(0)) throw std::runtime_error(path + ": inter-region 0 missing");
    return ref;
}

// ---------------------------------------------------------------- dates

// Days since 1970-01-01 to civil date (proleptic Gregorian).
void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe) + static_cast<int>(era) * 400 + (m <= 2);
}

int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

void putDigits(char* p, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

std::string ddmmyyyy(int y, int m, int d) {
    std::string s(8, '0');
    putDigits(s.data(), d, 2);
    putDigits(s.data() + 2, m, 2);
    putDigits(s.data() + 4, y, 4);
    return s;
}

// ---------------------------------------------------------------- model

struct Club {
    std::string code; // 13 characters
    std::string name; // DOS bytes
    std::string town; // DOS bytes
    std::string dept; // 3 characters
    int inter = 0;
    bool selection = false;
};

struct Own { // a swimmer's licence in its own club
    uint32_t club;
    uint16_t birthYear;
    std::array<char, 6> number;
    uint64_t seed;
};

struct Relay {
    uint32_t club;
    std::array<char, 6> number;
    uint64_t seed;
};

struct SelectionEntry { // a swimmer listed in a selection
    uint32_t selection; // club index of the selection
    uint32_t own;       // index into owns
};

enum class Kind : uint8_t { Own, Relay, Selection };

struct Entry {
    uint32_t clubRank;
    std::array<char, 6> number;
    Kind kind;
    uint32_t index;
};

class Generator {
public:
    Generator(const Reference& ref, const Words& words, uint64_t seed, long licences)
        : ref_(ref), w_(words), seed_(seed), rng_(seed), total_(licences) {}

    void run(const fs::path& dir);

private:
    void makeClubs(long count);
    std::string makeTown(Rng& r) const;
    std::string postcode(Rng& r, const std::string& dept) const;
    void makeLicences(long owns, long relays, long selections);
    void renderLicence(const Entry& e, char* line) const;
    void writeClubs(const fs::path& file) const;
    void writeLicences(const fs::path& file);
    void writeIuf(const fs::path& file);
    void writeOrigin(const fs::path& file) const;

    const Reference& ref_;
    const Words& w_;
    uint64_t seed_;
    Rng rng_;
    long total_;

    std::vector<Club> clubs_;
    std::vector<uint32_t> rank_; // club index -> rank in code order
    uint32_t realClubs_ = 0;     // clubs_[0 .. realClubs_) are clubs, the rest selections
    std::map<std::string, uint32_t> regionSelection_;
    uint32_t nationalSelection_ = 0;
    std::vector<Own> owns_;
    std::vector<Relay> relays_;
    std::vector<SelectionEntry> selections_;
    std::vector<Entry> entries_; // sorted base lines (no repeats)
};

std::string fitName(std::string s, size_t width) {
    if (s.size() > width) {
        s.resize(width);
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
    }
    return s;
}

// Fills a pattern such as "Club nautique de %" with a town; "de" before a
// vowel is elided: "Club nautique d'Aubigny".
std::string clubName(std::string pattern, const std::string& town) {
    size_t pct = pattern.find('%');
    if (pct >= 3 && pattern.compare(pct - 3, 3, "de ") == 0 &&
        std::string_view("AEIOUaeiouY\x82").find(town[0]) != std::string_view::npos) {
        pattern.replace(pct - 3, 4, "d'" + town);
    } else {
        pattern.replace(pct, 1, town);
    }
    return pattern;
}

std::string Generator::makeTown(Rng& r) const {
    std::string town = r.pick(w_.townStems);
    if (r.percent(40)) town += r.pick(w_.townSuffixes);
    return fitName(town, 26);
}

std::string Generator::postcode(Rng& r, const std::string& dept) const {
    std::string pc;
    if (dept == "02A") {
        pc = "20" + std::to_string(r.range(0, 1));
    } else if (dept == "02B") {
        pc = "20" + std::to_string(r.range(2, 6));
    } else if (dept[0] == '0') {
        pc = dept.substr(1);
    } else {
        pc = dept; // overseas: 971..976
    }
    while (pc.size() < 5)
        pc += static_cast<char>('0' + r.below(10));
    return pc;
}

void Generator::makeClubs(long count) {
    const auto& depts = ref_.departments;
    if (depts.empty()) throw std::runtime_error("reference file has no department");
    if (count > static_cast<long>(depts.size()) * 9000)
        throw std::runtime_error("too many clubs for the reference departments");
    const long perDept = count / static_cast<long>(depts.size()) + 1;
    const int step = static_cast<int>(std::clamp<long>(8000 / perDept, 1, 20));
    std::vector<int> lastNumber(depts.size(), 0);

    for (long i = 0; i < count; ++i) {
        size_t d = rng_.below(depts.size());
        int number = lastNumber[d] + rng_.range(1, step);
        while (number > 9999) { // department full: move on to the next one
            d = (d + 1) % depts.size();
            number = lastNumber[d] + 1;
        }
        lastNumber[d] = number;
        Club c;
        c.dept = depts[d];
        const std::string& region = ref_.deptRegion.at(c.dept);
        c.inter = ref_.regionInter.at(region);
        c.code = "FRA" + std::to_string(c.inter) + region + c.dept;
        c.code.resize(13, '0');
        putDigits(c.code.data() + 9, number, 4);
        // Draw town and pattern again until the name fits its 30 characters.
        std::string name;
        for (int attempt = 0; attempt < 20 && (name.empty() || name.size() > 30); ++attempt) {
            c.town = makeTown(rng_);
            name = clubName(rng_.pick(w_.clubPatterns), c.town);
        }
        c.name = fitName(name, 30);
        clubs_.push_back(std::move(c));
    }
    realClubs_ = static_cast<uint32_t>(clubs_.size());

    // Selections: a national one and one per region that has clubs.
    Club national;
    national.code = "FRA0000000000";
    national.name = toDos("Sélection nationale");
    national.selection = true;
    nationalSelection_ = static_cast<uint32_t>(clubs_.size());
    clubs_.push_back(national);
    std::set<std::string> regions;
    for (uint32_t i = 0; i < realClubs_; ++i)
        regions.insert(clubs_[i].code.substr(4, 2));
    for (const auto& region : regions) {
        Club s;
        s.inter = ref_.regionInter.at(region);
        s.code = "FRA" + std::to_string(s.inter) + region + "0000000";
        s.name = toDos("Sélection régionale ") + region;
        s.selection = true;
        regionSelection_[region] = static_cast<uint32_t>(clubs_.size());
        clubs_.push_back(std::move(s));
    }

    std::vector<uint32_t> order(clubs_.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return clubs_[a].code != clubs_[b].code ? clubs_[a].code < clubs_[b].code : a < b;
    });
    rank_.assign(clubs_.size(), 0);
    for (uint32_t r = 0; r < order.size(); ++r)
        rank_[order[r]] = r;
}

int pickBirthYear(Rng& r) {
    int roll = static_cast<int>(r.below(100));
    int age;
    if (roll < 65)
        age = r.range(7, 17); // young competitors
    else if (roll < 85)
        age = r.range(18, 45); // seniors and masters
    else
        age = r.range(46, 80); // masters and officials
    return kSeasonYear - age;
}

void Generator::makeLicences(long owns, long relays, long selections) {
    // Licence numbers are unique inside a club: YY + 4 digits for a swimmer,
    // R + 5 digits for a relay.
    std::unordered_set<uint64_t> used;
    used.reserve(static_cast<size_t>((owns + relays) * 2));
    auto key = [](uint32_t club, const std::array<char, 6>& n) {
        uint64_t k = club;
        for (char c : n)
            k = k * 64 + static_cast<unsigned char>(c);
        return k;
    };

    owns_.reserve(static_cast<size_t>(owns));
    for (long i = 0; i < owns; ++i) {
        Own o{};
        o.club = static_cast<uint32_t>(rng_.below(realClubs_));
        o.birthYear = static_cast<uint16_t>(pickBirthYear(rng_));
        putDigits(o.number.data(), o.birthYear % 100, 2);
        do {
            putDigits(o.number.data() + 2, static_cast<int>(rng_.below(10000)), 4);
        } while (!used.insert(key(o.club, o.number)).second);
        o.seed = rng_.next();
        owns_.push_back(o);
    }
    relays_.reserve(static_cast<size_t>(relays));
    for (long i = 0; i < relays; ++i) {
        Relay r{};
        r.club = static_cast<uint32_t>(rng_.below(realClubs_));
        r.number[0] = 'R';
        do {
            putDigits(r.number.data() + 1, static_cast<int>(rng_.below(100000)), 5);
        } while (!used.insert(key(r.club, r.number)).second);
        r.seed = rng_.next();
        relays_.push_back(r);
    }

    // Each swimmer is listed at most once, and a selection never lists the
    // same licence number twice (the importer keys selection lines on it).
    std::vector<bool> chosen(owns_.size(), false);
    std::unordered_set<uint64_t> selKeys;
    selections_.reserve(static_cast<size_t>(selections));
    for (long i = 0; i < selections && !owns_.empty(); ++i) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            uint32_t own = static_cast<uint32_t>(rng_.below(owns_.size()));
            if (chosen[own]) continue;
            const Own& o = owns_[own];
            uint32_t sel =
                rng_.percent(20) ? nationalSelection_ : regionSelection_.at(clubs_[o.club].code.substr(4, 2));
            if (!selKeys.insert(key(sel, o.number)).second) continue;
            chosen[own] = true;
            selections_.push_back({sel, own});
            break;
        }
    }

    entries_.reserve(owns_.size() + relays_.size() + selections_.size());
    for (uint32_t i = 0; i < owns_.size(); ++i)
        entries_.push_back({rank_[owns_[i].club], owns_[i].number, Kind::Own, i});
    for (uint32_t i = 0; i < relays_.size(); ++i)
        entries_.push_back({rank_[relays_[i].club], relays_[i].number, Kind::Relay, i});
    for (uint32_t i = 0; i < selections_.size(); ++i)
        entries_.push_back(
            {rank_[selections_[i].selection], owns_[selections_[i].own].number, Kind::Selection, i});
    // Federation order: by club code, then licence number. The comparison is a
    // total order, so the result does not depend on the sort implementation.
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        if (a.clubRank != b.clubRank) return a.clubRank < b.clubRank;
        if (a.number != b.number) return a.number < b.number;
        if (a.kind != b.kind) return a.kind < b.kind;
        return a.index < b.index;
    });
}

// Writes one 248-byte licence record (without its line end).
void Generator::renderLicence(const Entry& e, char* line) const {
    std::memset(line, ' ', kLicenceLine);
    char* p = line;
    auto put = [&p](std::string_view s, size_t width) {
        std::memcpy(p, s.data(), std::min(s.size(), width));
        p += width;
    };

    const Own* own = nullptr;
    const Relay* relay = nullptr;
    const Club* club;
    std::string_view code;
    uint64_t seed;
    if (e.kind == Kind::Relay) {
        relay = &relays_[e.index];
        club = &clubs_[relay->club];
        code = club->code;
        seed = relay->seed;
    } else {
        own = e.kind == Kind::Own ? &owns_[e.index] : &owns_[selections_[e.index].own];
        club = &clubs_[own->club];
        code = e.kind == Kind::Own ? club->code : clubs_[selections_[e.index].selection].code;
        seed = own->seed;
    }
    Rng r(mix(seed_, seed));

    // Deposit and stamping dates: within the first months of the season.
    int64_t depot = daysFromCivil(kSeasonYear, 9, 1) + r.range(0, 150);
    int y, m, d;
    civilFromDays(depot, y, m, d);
    std::string depotText = ddmmyyyy(y, m, d);
    std::string stampText;
    if (!r.percent(3)) {
        civilFromDays(depot + r.range(1, 6), y, m, d);
        stampText = ddmmyyyy(y, m, d);
    }

    put(code, 13);
    if (relay) {
        put(std::string_view(relay->number.data(), 6), 6);
        const std::string& name = r.pick(w_.relayNames);
        put(name, 25);
        put("", 20);
        put(name.find("DAMES") != std::string::npos ? "F" : "M", 1);
        put("", 8);
        put("FRA", 3);
        p = line + 183; // address block left blank
        put("ONNNNN", 6);
        put(depotText, 8);
        put(stampText, 8);
        put("C", 1);
        put("N", 1);
        return;
    }

    put(std::string_view(own->number.data(), 6), 6);
    int roll = static_cast<int>(r.below(100));
    const std::string& surname = roll < 10   ? r.pick(w_.accentedSurnames)
                                 : roll < 12 ? r.pick(w_.apostropheSurnames)
                                             : r.pick(w_.surnames);
    bool girl = r.percent(50);
    put(surname, 25);
    put(r.pick(girl ? w_.girls : w_.boys), 20);
    put(girl ? "F" : "M", 1);
    int month = r.range(1, 12);
    int day = r.range(1, daysInMonth(own->birthYear, month));
    put(ddmmyyyy(own->birthYear, month, day), 8);
    if (r.percent(97)) {
        put("FRA", 3);
    } else {
        auto it = ref_.pays.begin();
        std::advance(it, static_cast<long>(r.below(ref_.pays.size())));
        put(*it, 3);
    }

    std::string address = std::to_string(r.range(1, 180));
    if (r.percent(8)) address += " bis";
    address += ' ';
    address += r.pick(w_.streetTypes);
    address += ' ';
    address += r.pick(w_.streetNames);
    put(address, 30);
    put(r.percent(25) ? r.pick(w_.suites) : std::string(), 30);
    put(postcode(r, club->dept), 7);
    put(r.percent(60) ? club->town : makeTown(r), 26);

    if (r.percent(90)) {
        std::string phone(14, ' ');
        int first;
        if (club->dept.size() == 3 && club->dept[0] == '9' && club->dept[1] == '7')
            first = r.percent(50) ? 5 : 6;
        else if (r.percent(60))
            first = r.percent(70) ? 6 : 7;
        else
            first = club->inter == 5   ? 1
                    : club->inter == 4 ? 4
                    : club->inter == 3 ? 5
                    : club->inter == 2 ? 3
                                       : 2;
        putDigits(phone.data(), first, 2);
        for (int g = 1; g < 5; ++g)
            putDigits(phone.data() + g * 3, static_cast<int>(r.below(100)), 2);
        put(phone, 14);
    } else {
        put("", 14);
    }

    const int age = kSeasonYear - own->birthYear;
    const bool official = age >= 30 && r.percent(8);
    const bool swimmer = !official || r.percent(30);
    put(swimmer ? "O" : "N", 1);                                      // Sportive
    put(swimmer && girl && age < 25 && r.percent(10) ? "O" : "N", 1); // Synchro
    put(swimmer && r.percent(5) ? "O" : "N", 1);                      // Water-polo
    put(swimmer && r.percent(2) ? "O" : "N", 1);                      // Plongeon
    put(official ? "O" : "N", 1);                                     // Dirigeant
    put(swimmer && age >= 25 ? "O" : "N", 1);                         // Maitre
    put(depotText, 8);
    put(stampText, 8);
    put(!swimmer ? "D" : r.percent(75) ? "C" : "L", 1); // Type_licence
    put(r.percent(80) ? "R" : "N", 1);                  // Nature
    if (e.kind == Kind::Selection) {
        put(club->code, 13);
        put(std::string_view(own->number.data(), 6), 6);
    }
    // Code_unique stays blank: the IUF file supplies it.
}

struct Output {
    std::FILE* f;
    explicit Output(const fs::path& path) : f(std::fopen(path.c_str(), "wb")) {
        if (!f) throw std::runtime_error("cannot write " + path.string() + ": " + std::strerror(errno));
        std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    }
    ~Output() {
        if (f) std::fclose(f);
    }
    void line(const char* data, size_t n) {
        std::fwrite(data, 1, n, f);
        std::fwrite("\r\n", 1, 2, f);
    }
    void close(const fs::path& path) {
        bool bad = std::ferror(f) != 0;
        bad |= std::fclose(f) != 0;
        f = nullptr;
        if (bad) throw std::runtime_error("error while writing " + path.string());
    }
};

void Generator::writeClubs(const fs::path& file) const {
    std::vector<uint32_t> order(clubs_.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[rank_[i]] = i;
    Output out(file);
    char buf[kClubLine];
    for (uint32_t i : order) {
        std::memset(buf, ' ', sizeof buf);
        std::memcpy(buf, clubs_[i].code.data(), 13);
        std::memcpy(buf + 13, clubs_[i].name.data(), std::min<size_t>(clubs_[i].name.size(), 30));
        out.line(buf, sizeof buf);
    }
    out.close(file);
}

void Generator::writeLicences(const fs::path& file) {
    // Repeats are copies of a recent earlier line, spread over the file so
    // that the total is exactly the requested count.
    const long repeats = total_ - static_cast<long>(entries_.size());
    std::vector<uint64_t> at(static_cast<size_t>(std::max(0L, repeats)));
    for (auto& pos : at)
        pos = 1 + rng_.below(entries_.size()); // after at least one line
    std::sort(at.begin(), at.end());

    Output out(file);
    char buf[kLicenceLine];
    size_t next = 0;
    for (size_t i = 0; i < entries_.size(); ++i) {
        while (next < at.size() && at[next] == i) {
            size_t window = std::min<size_t>(i, 64);
            renderLicence(entries_[i - 1 - rng_.below(window)], buf);
            out.line(buf, sizeof buf);
            ++next;
        }
        renderLicence(entries_[i], buf);
        out.line(buf, sizeof buf);
    }
    while (next < at.size()) { // positions equal to the size land at the end
        renderLicence(entries_[entries_.size() - 1 - rng_.below(std::min<size_t>(entries_.size(), 64))], buf);
        out.line(buf, sizeof buf);
        ++next;
    }
    out.close(file);
}

void Generator::writeIuf(const fs::path& file) {
    // One line per swimmer licence, in the order of licence.txt.
    std::unordered_set<uint32_t> usedCodes;
    usedCodes.reserve(owns_.size() * 2);
    const uint32_t span = static_cast<uint32_t>(std::max<uint64_t>(9000000, owns_.size() * 20ull));
    Output out(file);
    char buf[kIufLine];
    for (const Entry& e : entries_) {
        if (e.kind != Kind::Own) continue;
        const Own& o = owns_[e.index];
        uint32_t iuf;
        do {
            iuf = 1000000 + static_cast<uint32_t>(rng_.below(span));
        } while (!usedCodes.insert(iuf).second);
        std::memset(buf, ' ', sizeof buf);
        std::memcpy(buf, clubs_[o.club].code.data() + 4, 9);
        std::memcpy(buf + 9, o.number.data(), 6);
        std::string digits = std::to_string(iuf);
        std::memcpy(buf + 15, digits.data(), digits.size());
        out.line(buf, sizeof buf);
    }
    out.close(file);
}

void Generator::writeOrigin(const fs::path& file) const {
    // Longer than an IUF record, so the IUF run never takes it for one.
    std::string text =
        "Registre federal des licences - export 3.2 - jeu genere, graine " + std::to_string(seed_);
    Output out(file);
    out.line(text.data(), text.size());
    out.close(file);
}

void Generator::run(const fs::path& dir) {
    const long relays = total_ * 2 / 100;
    const long selections = total_ * 3 / 100;
    const long repeats = total_ * 2 / 100;
    const long owns = std::max(1L, total_ - relays - selections - repeats);
    makeClubs(std::max(1L, (total_ + 20) / 40));
    makeLicences(owns, relays, selections);
    // A selection entry that could not be placed becomes one more repeat.
    fs::create_directories(dir);
    writeClubs(dir / "club.txt");
    writeLicences(dir / "licence.txt");
    writeIuf(dir / "iuf.txt");
    writeOrigin(dir / "origine.txt");
    std::cout << "wrote " << dir.string() << ": " << clubs_.size() << " clubs (" << clubs_.size() - realClubs_
              << " selections), " << total_ << " licence lines (" << relays_.size() << " relay, "
              << selections_.size() << " selection entries, " << total_ - static_cast<long>(entries_.size())
              << " repeats), " << owns_.size() << " IUF lines\n";
}

void usage(std::ostream& os) {
    os << "usage: gen_export --out DIR --licences N [--seed S] [--reference FILE]\n"
          "  --out DIR         export directory to write\n"
          "  --licences N      number of licence.txt lines to generate\n"
          "  --seed S          PRNG seed (default 1); same seed, same bytes\n"
          "  --reference FILE  geography reference (default data/reference/france.txt)\n";
}

bool parseNumber(const char* s, uint64_t& v) {
    auto end = s + std::strlen(s);
    auto [ptr, ec] = std::from_chars(s, end, v);
    return ec == std::errc() && ptr == end && ptr != s;
}

} // namespace

int main(int argc, char** argv) {
    std::string out, reference = "data/reference/france.txt";
    uint64_t licences = 0, seed = 1;
    bool haveLicences = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::cerr << "missing value after " << a << "\n";
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--out")
            out = value();
        else if (a == "--reference")
            reference = value();
        else if (a == "--licences") {
            if (!parseNumber(value(), licences) || licences == 0 || licences > 10'000'000) {
                std::cerr << "--licences expects a number from 1 to 10000000\n";
                return 2;
            }
            haveLicences = true;
        } else if (a == "--seed") {
            if (!parseNumber(value(), seed)) {
                std::cerr << "--seed expects a non-negative integer\n";
                return 2;
            }
        } else if (a == "--help" || a == "-h") {
            usage(std::cout);
            return 0;
        } else {
            std::cerr << "unknown argument " << a << "\n";
            usage(std::cerr);
            return 2;
        }
    }
    if (out.empty() || !haveLicences) {
        usage(std::cerr);
        return 2;
    }
    try {
        Reference ref = loadReference(reference);
        Words words = makeWords();
        Generator gen(ref, words, seed, static_cast<long>(licences));
        gen.run(out);
    } catch (const std::exception& e) {
        std::cerr << "gen_export: " << e.what() << "\n";
        return 2;
    }
    return 0;
}
