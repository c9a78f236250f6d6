#include "command_model.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

// The tool reads OutRez as atoi does: leading blanks, a sign, digits up to the
// first other character, saturated to 32 bits.
struct IntForm {
    const char* text;
    std::int32_t value;
};

constexpr IntForm kSmallRez[] = {
    {"1", 1},    {"2", 2},    {"3", 3},      {"4", 4},    {"5", 5},     {"7", 7},    {"8", 8},   {"9", 9},   {"12", 12},
    {"16", 16},  {"17", 17},  {"24", 24},    {"25", 25},  {"31", 31},   {"32", 32},  {"33", 33}, {"48", 48}, {"64", 64},
    {"+16", 16}, {" 12", 12}, {"16abc", 16}, {"1e40", 1}, {"33.9", 33}, {"0008", 8}, {"\t9", 9},
};

constexpr IntForm kBadRez[] = {
    {"0", 0},
    {"-0", 0},
    {"-16", -16},
    {"nan", 0},
    {"inf", 0},
    {"abc", 0},
    {"0x20", 0},
    {"-2147483649", kIntMin},
    {"-99999999999", kIntMin},
};

constexpr IntForm kHugeRez[] = {
    {"46341", 46341},        {"65536", 65536},         {"100000", 100000},      {"2147483647", kIntMax},
    {"2147483648", kIntMax}, {"99999999999", kIntMax}, {"4294967312", kIntMax},
};

// The tool reads the other numbers as atof does, rounded to float; beyond the
// float range they become infinite (or the largest float, as rounding gives).
struct FloatForm {
    const char* text;
    float value;
};

const FloatForm kFloats[] = {
    {"600", 600.0f},
    {"100", 100.0f},
    {"1e2", 100.0f},
    {"2.5e1", 25.0f},
    {"0.5", 0.5f},
    {"7.75", 7.75f},
    {"250", 250.0f},
    {"5000", 5000.0f},
    {"16000", 16000.0f},
    {"-50", -50.0f},
    {"-0.25", -0.25f},
    {"0", 0.0f},
    {"-0", -0.0f},
    {"1e40", kInf},
    {"-1e40", -kInf},
    {"nan", kNaN},
    {"inf", kInf},
    {"-inf", -kInf},
    {"1e-50", 0.0f},
    {"3.4028236e38", kInf},
    {"3.4028234e38", FLT_MAX},
    {"0x1p3", 8.0f},
    {"0x1p-100", std::ldexp(1.0f, -100)},
    {"12abc", 12.0f},
    {"abc", 0.0f},
    {"1,5", 1.0f},
    {" 40", 40.0f},
    {"1e30", static_cast<float>(1e30)},
};

bool ValidHeight(float v) { return std::isfinite(v) && v != 0.0f; }
bool ValidTerraSize(float v) { return v > 0.0f && !std::isinf(v); }
bool ValidHeightZero(float v) { return std::isfinite(v); }

// Values the tool must be told in quotes: a leading dash would start a name, and
// brackets, '=' and blanks would split the value.
bool NeedsQuotes(const std::string& v) {
    return !v.empty() && (v[0] == '-' || v.find_first_of("[]=\"") != std::string::npos);
}

bool HasBlank(const std::string& v) { return v.find_first_of(" \t\n") != std::string::npos; }

struct OutPlace {
    const char* name;
    int exit;               // 0, 6 (cannot be written) or 7 (refused by validation)
    const char* directory;  // to create first, or null
};

const OutPlace kOutPlaces[] = {
    {"out.dds", 0, nullptr},
    {"o", 0, nullptr},
    {"a.b.c", 0, nullptr},
    {"sub dir/h out.dds", 0, "sub dir"},
    {"deep/er/x.dds", 0, "deep/er"},
    {"[o]=1.dds", 0, nullptr},
    {"-dash.dds", 0, nullptr},
    {"\xc3\xbcn\xc3\xaf.dds", 0, nullptr},
    {"missing dir/x.dds", 6, nullptr},
    {"existing.dds", 6, "existing.dds"},
    {".", 6, nullptr},
};

// Words the tool must refuse as a command line, appended to an otherwise good one.
const std::vector<std::vector<std::string>> kSyntaxFaults = {
    {"--Foo=1"},
    {"-x"},
    {"-r"},
    {"--OutRez", "16"},
    {"\"abc"},
    {"["},
    {"]"},
    {"="},
    {"extra"},
    {"-z", "-5"},
    {"--" + std::string(300, 'x') + "=1"},
    {"-H", "a", "[", "b", "]"},
    {"--Height=\"1\"\"", "2"},
};

// Chaos: what gets thrown into a command line.
std::vector<std::string> ChaosPool() {
    // clang-format off
    return {"[", "]", "=", "\"", "\"\"", "--", "-", "---", "-rr", "-HT", "--OutRez", "--outrez=3", "-r", "-o",
            "1e40", "-0", "nan", "inf", "-inf", "46341", "2147483647", "-2147483648", "99999999999999999999", "0",
            "\"-5\"", "x=y", "[a]", "--Height=\"1e40\"", "\t", " ", "\n", "\xc3\xa9", "\xff\xfe", "%s%n%x",
            std::string(300, 'a'), "--" + std::string(300, 'L'), "-" + std::string(40, 'r'), "--TerraSize=-0",
            "--HeightZero", "\"[\"", "]]]]", "[[[[", "==", "\"=\"", "-z\"-1\"", "--Outfname=\"\"", "''", "\\",
            // Whole parameters again: which of two values counts is the tool's to say.
            "-r8", "--OutRez=5", "-h2", "--Height=0.5", "-s100", "--TerraSize=1e4", "-z3", "--HeightZero=\"-3\"",
            "-ox.dds", "--Outfname=y z.dds"};
    // clang-format on
}

void AppendValue(std::vector<std::string>& words, char letter, const std::string& name, const std::string& value,
                 std::size_t form) {
    const std::string word = NeedsQuotes(value) ? "\"" + value + "\"" : value;
    const bool joinable = !value.empty() && !NeedsQuotes(value) && !HasBlank(value);
    switch (form % 4) {
        case 0: words.insert(words.end(), {std::string("-") + letter, word}); return;
        case 1:
            if (joinable) {
                words.push_back(std::string("-") + letter + word);
                return;
            }
            [[fallthrough]];
        case 2: words.push_back("--" + name + "=" + word); return;
        default: words.insert(words.end(), {"--" + name, "=", word}); return;
    }
}

}  // namespace

std::string CompanionName(const std::string& outName) {
    const auto slash = outName.find_last_of('/');
    const std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = outName.find_last_of('.');
    const std::size_t extStart = (dot == std::string::npos || dot < fileStart) ? outName.size() : dot;
    return outName.substr(0, extStart) + ".winter" + outName.substr(extStart);
}

CaseGenerator::CaseGenerator(std::uint64_t seed, MapSet maps, std::uint64_t textureLimitBytes)
    : random_(seed), maps_(std::move(maps)), textureLimitBytes_(textureLimitBytes) {}

std::size_t CaseGenerator::pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
}

bool CaseGenerator::chance(double probability) { return std::bernoulli_distribution(probability)(random_); }

SoakCase CaseGenerator::next() {
    const std::size_t roll = pick(100);
    if (roll < 2) return {{}, "no-arguments", 7, std::nullopt, {}};
    if (roll < 65) return modelled();
    return chaotic();
}

SoakCase CaseGenerator::modelled() {
    SoakCase c;
    ModelSettings s;
    std::vector<std::vector<std::string>> groups;  // one per parameter, shuffled below
    bool refused = false;                          // by the parser or by validation: exit 7
    bool unloadable = false;                       // exit 2
    int outExit = 0;
    std::string kind = "modelled";

    // Maps: mostly good ones; height and tree maps serve either way.
    const auto pickMap = [&](const std::vector<MapFile>& usual, const std::vector<MapFile>& other) {
        const std::size_t r = pick(100);
        if (r < 5) {
            unloadable = true;
            kind += " broken-map";
            return maps_.broken[pick(maps_.broken.size())];
        }
        if (r < 8) {
            refused = true;
            kind += " missing-map";
            return maps_.missing[pick(maps_.missing.size())];
        }
        if (r < 20) return other[pick(other.size())];
        return usual[pick(usual.size())];
    };
    const MapFile hm = pickMap(maps_.heightMaps, maps_.treeMaps);
    const MapFile tm = pickMap(maps_.treeMaps, maps_.heightMaps);
    s.heightMap = hm.path;
    s.treeMap = tm.path;
    const auto fileForm = [&]() { return std::size_t{pick(3) == 0 ? 2u : pick(2) == 0 ? 0u : 3u}; };
    const std::size_t dropRequired = pick(100);
    if (dropRequired != 0) {
        groups.emplace_back();
        AppendValue(groups.back(), 'H', "HMfname", hm.path, fileForm());
    }
    if (dropRequired != 1) {
        groups.emplace_back();
        AppendValue(groups.back(), 'T', "TMfname", tm.path, fileForm());
    }
    if (dropRequired <= 1) {
        refused = true;
        kind += " no-required";
    }

    // Resolution: small, refused, too big for memory, or left at its default.
    const std::size_t rezRoll = pick(100);
    IntForm rez{nullptr, kToolDefaults.OutRez};
    if (rezRoll < 82) {
        rez = kSmallRez[pick(sizeof kSmallRez / sizeof kSmallRez[0])];
    } else if (rezRoll < 91) {
        rez = kBadRez[pick(sizeof kBadRez / sizeof kBadRez[0])];
        kind += " bad-rez";
    } else if (rezRoll < 98) {
        // Only sizes this machine cannot hold: anything less would run for ages.
        std::vector<IntForm> huge;
        for (const IntForm& f : kHugeRez)
            if (static_cast<double>(f.value) * f.value * 16.0 > static_cast<double>(textureLimitBytes_))
                huge.push_back(f);
        if (!huge.empty()) {
            rez = huge[pick(huge.size())];
            kind += " huge-rez";
        }
    }
    if (rez.text == nullptr) {
        kind += " default-rez";
    } else {
        s.outRez = rez.value;
        groups.emplace_back();
        AppendValue(groups.back(), 'r', "OutRez", rez.text, pick(4));
    }
    if (s.outRez <= 0) {
        refused = true;
    } else if (static_cast<double>(s.outRez) * s.outRez * 16.0 > static_cast<double>(textureLimitBytes_)) {
        unloadable = true;
    }

    // The numbers: mostly good ones.
    const auto pickFloat = [&](bool (*valid)(float)) {
        std::vector<FloatForm> good, bad;
        for (const FloatForm& f : kFloats) (valid(f.value) ? good : bad).push_back(f);
        return chance(0.85) ? good[pick(good.size())] : bad[pick(bad.size())];
    };
    const struct {
        char letter;
        const char* name;
        bool (*valid)(float);
        float* field;
    } numbers[] = {
        {'h', "Height", &ValidHeight, &s.height},
        {'s', "TerraSize", &ValidTerraSize, &s.terraSize},
        {'z', "HeightZero", &ValidHeightZero, &s.heightZero},
    };
    for (const auto& n : numbers) {
        if (!chance(0.5)) continue;
        const FloatForm f = pickFloat(n.valid);
        *n.field = f.value;
        if (!n.valid(f.value)) {
            refused = true;
            kind += std::string(" bad-") + n.name;
        }
        groups.emplace_back();
        AppendValue(groups.back(), n.letter, n.name, f.text, pick(4));
    }

    // Output: the default name, a usable place, an unusable one, or a name too long.
    const std::size_t outRoll = pick(100);
    if (outRoll >= 30) {
        std::string name;
        if (outRoll < 33) {
            name = std::string(280, 'n') + ".dds";
            refused = true;
            kind += " long-out";
        } else {
            const OutPlace& place = kOutPlaces[pick(sizeof kOutPlaces / sizeof kOutPlaces[0])];
            name = place.name;
            outExit = place.exit;
            if (place.directory != nullptr) c.directories.push_back(place.directory);
            if (outExit != 0) kind += " bad-out";
        }
        s.outName = name;
        groups.emplace_back();
        AppendValue(groups.back(), 'o', "Outfname", name, fileForm());
    }

    std::shuffle(groups.begin(), groups.end(), random_);
    if (chance(0.06)) {
        groups.push_back(kSyntaxFaults[pick(kSyntaxFaults.size())]);
        refused = true;
        kind += " syntax";
    }
    for (const auto& g : groups) c.args.insert(c.args.end(), g.begin(), g.end());

    // Parsing and validation come first, then loading, then saving.
    c.expectedExit = refused ? 7 : unloadable ? 2 : outExit;
    if (c.expectedExit == 0) c.settings = s;
    c.kind = kind;
    return c;
}

SoakCase CaseGenerator::chaotic() {
    // From a line that works, so that the mutations decide what happens.
    SoakCase c = modelled();
    for (int tries = 0; tries < 20 && c.expectedExit != 0; ++tries) c = modelled();
    static const std::vector<std::string> pool = ChaosPool();
    std::vector<std::string>& w = c.args;
    const std::size_t mutations = 1 + pick(3);
    for (std::size_t m = 0; m < mutations; ++m) {
        const std::size_t op = pick(6);
        if (w.empty() || op == 0) {
            w.insert(w.begin() + static_cast<std::ptrdiff_t>(pick(w.size() + 1)), pool[pick(pool.size())]);
        } else if (op == 1) {
            w[pick(w.size())] = pool[pick(pool.size())];
        } else if (op == 2) {
            w.erase(w.begin() + static_cast<std::ptrdiff_t>(pick(w.size())));
        } else if (op == 3) {
            const std::size_t i = pick(w.size());
            w.insert(w.begin() + static_cast<std::ptrdiff_t>(i), w[i]);
        } else if (op == 4 && w.size() > 1) {
            const std::size_t i = pick(w.size() - 1);
            std::swap(w[i], w[i + 1]);
        } else {
            // A character of a word turned into one the syntax gives meaning to.
            std::string& word = w[pick(w.size())];
            const char specials[] = {'"', '[', ']', '=', ' ', '-'};
            if (!word.empty()) word[pick(word.size())] = specials[pick(sizeof specials)];
        }
    }
    c.kind = "chaos";
    c.expectedExit = -1;
    c.settings.reset();
    return c;
}
