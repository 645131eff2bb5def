// Full Fidelity: numbers in words, one small grammar a language: the words
// below twenty (or thirty), the tens and hundreds, how they join, and the
// thousands; ordinals from the cardinal's last word or from their own
// tables.
#include "docx2html/fidelity/words.h"

#include <unordered_map>

#include "docx2html/fidelity/numbers.h"

namespace tavin {

namespace {

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string joined(std::string a, std::string_view sep, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    a += sep;
    return a + b;
}

// ---------------------------------------------------------------------------
// English

const char* const kEnOnes[] = {"zero",    "one",     "two",     "three",     "four",     "five",    "six",
                               "seven",   "eight",   "nine",    "ten",       "eleven",   "twelve",  "thirteen",
                               "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
const char* const kEnTens[] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};

std::string enBelow1000(int n) {
    std::string out;
    if (n >= 100) out = std::string(kEnOnes[n / 100]) + " hundred";
    const int r = n % 100;
    if (r == 0) return out;
    const std::string tail = r < 20 ? kEnOnes[r] : joined(kEnTens[r / 10], "-", r % 10 ? kEnOnes[r % 10] : "");
    return joined(out, " ", tail);
}

std::string enCardinal(int n) {
    if (n == 0) return kEnOnes[0];
    return joined(n >= 1000 ? enBelow1000(n / 1000) + " thousand" : "", " ", n % 1000 ? enBelow1000(n % 1000) : "");
}

std::string enOrdinal(int n) {
    static const std::pair<std::string_view, std::string_view> kIrregular[] = {
        {"one", "first"}, {"two", "second"}, {"three", "third"}, {"five", "fifth"},
        {"eight", "eighth"}, {"nine", "ninth"}, {"twelve", "twelfth"}};
    std::string c = enCardinal(n);
    for (const auto& [cardinal, ordinal] : kIrregular)
        if (endsWith(c, cardinal)) return c.substr(0, c.size() - cardinal.size()) + std::string(ordinal);
    if (c.back() == 'y') return c.substr(0, c.size() - 1) + "ieth";
    return c + "th";
}

// ---------------------------------------------------------------------------
// French

const char* const kFrUnits[] = {"zéro", "un",   "deux",    "trois",    "quatre", "cinq",  "six",
                                "sept", "huit", "neuf",    "dix",      "onze",   "douze", "treize",
                                "quatorze", "quinze", "seize"};
const char* const kFrTens[] = {"", "", "vingt", "trente", "quarante", "cinquante", "soixante"};

std::string frBelow100(int n) {
    if (n < 17) return kFrUnits[n];
    if (n < 20) return std::string("dix-") + kFrUnits[n - 10];
    if (n < 70) {
        const int u = n % 10;
        return std::string(kFrTens[n / 10]) + (u == 0 ? "" : u == 1 ? " et un" : std::string("-") + kFrUnits[u]);
    }
    if (n < 80) return n == 71 ? "soixante et onze" : "soixante-" + frBelow100(n - 60);
    return n == 80 ? "quatre-vingts" : "quatre-vingt-" + frBelow100(n - 80);
}

std::string frBelow1000(int n) {
    const int h = n / 100, r = n % 100;
    if (h == 0) return frBelow100(r);
    std::string head = h == 1 ? "cent" : std::string(kFrUnits[h]) + " cent";
    if (r == 0) return h > 1 ? head + "s" : head;
    return head + " " + frBelow100(r);
}

std::string frCardinal(int n) {
    const int t = n / 1000, r = n % 1000;
    if (t == 0) return frBelow1000(r);
    std::string head = "mille";
    if (t > 1) {
        head = frBelow1000(t);
        if (endsWith(head, "vingts") || endsWith(head, "cents")) head.pop_back();  // "quatre-vingt mille"
        head += " mille";
    }
    return r == 0 ? head : head + " " + frBelow1000(r);
}

std::string frOrdinal(int n) {
    if (n == 1) return "premier";
    std::string c = frCardinal(n);
    if (endsWith(c, "cinq")) return c + "uième";
    if (endsWith(c, "neuf")) return c.substr(0, c.size() - 1) + "vième";
    if (c.back() == 'e' || endsWith(c, "vingts") || endsWith(c, "cents")) c.pop_back();
    return c + "ième";
}

// ---------------------------------------------------------------------------
// German

const char* const kDeUnits[] = {"null",     "eins",     "zwei",     "drei",     "vier",     "fünf",    "sechs",
                                "sieben",   "acht",     "neun",     "zehn",     "elf",      "zwölf",   "dreizehn",
                                "vierzehn", "fünfzehn", "sechzehn", "siebzehn", "achtzehn", "neunzehn"};
const char* const kDeTens[] = {"",        "",        "zwanzig",  "dreißig", "vierzig",
                               "fünfzig", "sechzig", "siebzig", "achtzig", "neunzig"};

std::string deBelow1000(int n) {
    const int h = n / 100, r = n % 100;
    std::string out;
    if (h > 0) out = std::string(h == 1 ? "ein" : kDeUnits[h]) + "hundert";
    if (r == 0) return out;
    if (r < 20) return out + kDeUnits[r];
    const int u = r % 10;
    if (u > 0) out += std::string(u == 1 ? "ein" : kDeUnits[u]) + "und";
    return out + kDeTens[r / 10];
}

std::string deCardinal(int n) {
    if (n == 0) return kDeUnits[0];
    const int t = n / 1000;
    std::string out;
    if (t > 0) {
        out = t == 1 ? "ein" : deBelow1000(t);
        if (endsWith(out, "eins")) out.pop_back();
        out += "tausend";
    }
    return out + (n % 1000 ? deBelow1000(n % 1000) : "");
}

std::string deOrdinal(int n) {
    static const char* const kSmall[] = {"nullte", "erste", "zweite", "dritte", "vierte",
                                         "fünfte", "sechste", "siebte", "achte", "neunte"};
    const int r = n % 100;
    if (r == 0 || r >= 20) return deCardinal(n) + "ste";
    const std::string head = n > r ? deCardinal(n - r) : "";
    return head + (r < 10 ? std::string(kSmall[r]) : deCardinal(r) + "te");
}

// ---------------------------------------------------------------------------
// Spanish

const char* const kEsUnits[] = {
    "cero",       "uno",        "dos",       "tres",        "cuatro",     "cinco",      "seis",       "siete",
    "ocho",       "nueve",      "diez",      "once",        "doce",       "trece",      "catorce",    "quince",
    "dieciséis",  "diecisiete", "dieciocho", "diecinueve",  "veinte",     "veintiuno",  "veintidós",  "veintitrés",
    "veinticuatro", "veinticinco", "veintiséis", "veintisiete", "veintiocho", "veintinueve"};
const char* const kEsTens[] = {"", "", "", "treinta", "cuarenta", "cincuenta", "sesenta", "setenta", "ochenta", "noventa"};
const char* const kEsHundreds[] = {"",           "ciento",      "doscientos", "trescientos", "cuatrocientos",
                                   "quinientos", "seiscientos", "setecientos", "ochocientos", "novecientos"};

std::string esBelow1000(int n) {
    if (n == 100) return "cien";
    const int r = n % 100;
    std::string tail = r < 30 ? kEsUnits[r] : joined(kEsTens[r / 10], " y ", r % 10 ? kEsUnits[r % 10] : "");
    if (n >= 100) return r == 0 ? kEsHundreds[n / 100] : std::string(kEsHundreds[n / 100]) + " " + tail;
    return tail;
}

std::string esCardinal(int n) {
    const int t = n / 1000, r = n % 1000;
    if (t == 0) return esBelow1000(r);
    std::string head = "mil";
    if (t > 1) {
        head = esBelow1000(t);
        if (endsWith(head, "veintiuno")) head.replace(head.size() - 3, 3, "ún");
        else if (endsWith(head, "uno")) head.pop_back();
        head += " mil";
    }
    return r == 0 ? head : head + " " + esBelow1000(r);
}

// Ordinals of the languages that make each part ordinal ("vigésimo
// primero"): the tables of ones, tens and hundreds, and the words of eleven
// to nineteen where they are their own.
struct PartOrdinals {
    const char* const* ones;      // 1-9
    const char* const* tens;      // 10, 20 ... 90
    const char* const* hundreds;  // 100 ... 900
    const char* const* teens;     // 11-19, or null
    const char* const* cardinalHundreds;  // 100 ... 900 before tens and ones, or null
};

std::string partOrdinal(int n, const PartOrdinals& o) {
    if (n < 1 || n > 999) return {};
    std::string out;
    const int r = n % 100;
    if (n >= 100) out = r > 0 && o.cardinalHundreds ? o.cardinalHundreds[n / 100] : o.hundreds[n / 100 - 1];
    if (o.teens && r > 10 && r < 20) return joined(out, " ", o.teens[r - 11]);
    if (r >= 10) out = joined(out, " ", o.tens[r / 10 - 1]);
    if (r % 10) out = joined(out, " ", o.ones[r % 10 - 1]);
    return out;
}

const char* const kEsOrdOnes[] = {"primero", "segundo", "tercero", "cuarto", "quinto",
                                  "sexto",   "séptimo", "octavo",  "noveno"};
const char* const kEsOrdTens[] = {"décimo",     "vigésimo",  "trigésimo",   "cuadragésimo", "quincuagésimo",
                                  "sexagésimo", "septuagésimo", "octogésimo", "nonagésimo"};
const char* const kEsOrdHundreds[] = {"centésimo",    "ducentésimo",   "tricentésimo",  "cuadringentésimo",
                                      "quingentésimo", "sexcentésimo", "septingentésimo", "octingentésimo",
                                      "noningentésimo"};
const char* const kEsOrdTeens[] = {"undécimo",       "duodécimo",     "decimotercero", "decimocuarto", "decimoquinto",
                                   "decimosexto",    "decimoséptimo", "decimoctavo",   "decimonoveno"};
const PartOrdinals kEsOrdinals{kEsOrdOnes, kEsOrdTens, kEsOrdHundreds, kEsOrdTeens, nullptr};

// ---------------------------------------------------------------------------
// Italian

const char* const kItUnits[] = {"zero",     "uno",      "due",      "tre",         "quattro",   "cinque",   "sei",
                                "sette",    "otto",     "nove",     "dieci",       "undici",    "dodici",   "tredici",
                                "quattordici", "quindici", "sedici", "diciassette", "diciotto", "diciannove"};
const char* const kItTens[] = {"", "", "venti", "trenta", "quaranta", "cinquanta", "sessanta", "settanta", "ottanta", "novanta"};

std::string itBelow100(int n) {
    if (n < 20) return kItUnits[n];
    std::string tens = kItTens[n / 10];
    const int u = n % 10;
    if (u == 1 || u == 8) tens.pop_back();  // "ventuno", "ventotto"
    if (u == 3) return tens + "tré";
    return u == 0 ? tens : tens + kItUnits[u];
}

std::string itBelow1000(int n) {
    const int h = n / 100, r = n % 100;
    if (h == 0) return itBelow100(r);
    std::string head = h == 1 ? "cento" : std::string(kItUnits[h]) + "cento";
    if (r == 0) return head;
    const std::string tail = itBelow100(r);
    if (tail[0] == 'o') head.pop_back();  // "centotto", "centottanta"
    return head + tail;
}

std::string itCardinal(int n) {
    const int t = n / 1000, r = n % 1000;
    if (t == 0) return itBelow1000(r);
    const std::string head = t == 1 ? "mille" : itBelow1000(t) + "mila";
    return r == 0 ? head : head + itBelow1000(r);
}

std::string itOrdinal(int n) {
    static const char* const kFirst[] = {"primo", "secondo", "terzo",  "quarto", "quinto",
                                         "sesto", "settimo", "ottavo", "nono",   "decimo"};
    if (n >= 1 && n <= 10) return kFirst[n - 1];
    std::string c = itCardinal(n);
    static constexpr std::string_view kThree = "tré";
    if (endsWith(c, kThree)) return c.substr(0, c.size() - kThree.size()) + "treesimo";
    if (!endsWith(c, "sei")) c.pop_back();
    return c + "esimo";
}

// ---------------------------------------------------------------------------
// Portuguese (Brazil; Portugal writes sixteen, seventeen and nineteen its way)

const char* const kPtUnits[] = {"zero",  "um",     "dois",     "três",     "quatro",   "cinco",  "seis",
                                "sete",  "oito",   "nove",     "dez",      "onze",     "doze",   "treze",
                                "catorze", "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
const char* const kPtTens[] = {"", "", "vinte", "trinta", "quarenta", "cinquenta", "sessenta", "setenta", "oitenta", "noventa"};
const char* const kPtHundreds[] = {"",           "cento",      "duzentos",  "trezentos",  "quatrocentos",
                                   "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};

std::string ptBelow1000(int n, bool portugal) {
    if (n == 100) return "cem";
    const int r = n % 100;
    std::string tail;
    if (portugal && (r == 16 || r == 17 || r == 19)) tail = r == 16 ? "dezasseis" : r == 17 ? "dezassete" : "dezanove";
    else tail = r < 20 ? kPtUnits[r] : joined(kPtTens[r / 10], " e ", r % 10 ? kPtUnits[r % 10] : "");
    if (n < 100) return tail;
    return r == 0 ? kPtHundreds[n / 100] : std::string(kPtHundreds[n / 100]) + " e " + tail;
}

std::string ptCardinal(int n, bool portugal) {
    const int t = n / 1000, r = n % 1000;
    if (t == 0) return ptBelow1000(r, portugal);
    const std::string head = t == 1 ? "mil" : ptBelow1000(t, portugal) + " mil";
    if (r == 0) return head;
    return head + (r < 100 || r % 100 == 0 ? " e " : " ") + ptBelow1000(r, portugal);
}

const char* const kPtOrdOnes[] = {"primeiro", "segundo", "terceiro", "quarto", "quinto",
                                  "sexto",    "sétimo",  "oitavo",   "nono"};
const char* const kPtOrdTens[] = {"décimo",     "vigésimo",     "trigésimo",  "quadragésimo", "quinquagésimo",
                                  "sexagésimo", "septuagésimo", "octogésimo", "nonagésimo"};
const char* const kPtOrdHundreds[] = {"centésimo",     "ducentésimo",  "trecentésimo",    "quadringentésimo",
                                      "quingentésimo", "sexcentésimo", "septingentésimo", "octingentésimo",
                                      "noningentésimo"};
const PartOrdinals kPtOrdinals{kPtOrdOnes, kPtOrdTens, kPtOrdHundreds, nullptr, nullptr};

// ---------------------------------------------------------------------------
// Dutch

const char* const kNlUnits[] = {"nul",      "een",      "twee",     "drie",      "vier",      "vijf",     "zes",
                                "zeven",    "acht",     "negen",    "tien",      "elf",       "twaalf",   "dertien",
                                "veertien", "vijftien", "zestien",  "zeventien", "achttien",  "negentien"};
const char* const kNlTens[] = {"", "", "twintig", "dertig", "veertig", "vijftig", "zestig", "zeventig", "tachtig", "negentig"};

std::string nlBelow1000(int n) {
    const int h = n / 100, r = n % 100;
    std::string out;
    if (h > 0) out = std::string(h == 1 ? "" : kNlUnits[h]) + "honderd";
    if (r == 0) return out;
    if (r < 20) return out + kNlUnits[r];
    const int u = r % 10;
    if (u > 0) out += std::string(kNlUnits[u]) + (endsWith(kNlUnits[u], "e") ? "ën" : "en");  // "tweeëntwintig"
    return out + kNlTens[r / 10];
}

std::string nlCardinal(int n) {
    if (n == 0) return kNlUnits[0];
    const int t = n / 1000, r = n % 1000;
    if (t == 0) return nlBelow1000(r);
    const std::string head = (t == 1 ? "" : nlBelow1000(t)) + "duizend";
    return r == 0 ? head : head + " " + nlBelow1000(r);
}

std::string nlOrdinal(int n) {
    static const char* const kSmall[] = {"nulde", "eerste", "tweede", "derde",  "vierde",  "vijfde", "zesde",
                                         "zevende", "achtste", "negende", "tiende", "elfde", "twaalfde"};
    const int r = n % 100;
    if (r == 0 || r >= 20) return nlCardinal(n) + "ste";
    const std::string head = n > r ? nlCardinal(n - r) : "";
    return head + (r <= 12 ? std::string(kSmall[r]) : nlCardinal(r) + "de");
}

// ---------------------------------------------------------------------------
// Russian and Polish: words joined by spaces, the thousands in the form the
// number before them asks for.

struct SlavicWords {
    const char* const* units;     // 0-19
    const char* const* tens;      // 20 ... 90 (index 2-9)
    const char* const* hundreds;  // 100 ... 900 (index 1-9)
    const char* one;              // "one" before thousands
    const char* two;              // "two" before thousands
    const char* thousands[3];     // after 1, after 2-4, after the rest
    bool oneInCompounds;          // 21, 31 ... take the form of 1 ("двадцать одна тысяча")
};

std::string slavicBelow1000(int n, const SlavicWords& w, bool beforeThousands) {
    std::string out;
    if (n >= 100) out = w.hundreds[n / 100];
    const int r = n % 100;
    if (r == 0) return out;
    const int u = r < 20 ? r : r % 10;
    if (r >= 20) out = joined(out, " ", w.tens[r / 10]);
    if (u == 0) return out;
    const char* unit = beforeThousands && u == 1 && r != 11 ? w.one : beforeThousands && u == 2 && r != 12 ? w.two : w.units[u];
    return joined(out, " ", unit);
}

std::string slavicCardinal(int n, const SlavicWords& w) {
    if (n == 0) return w.units[0];
    const int t = n / 1000, r = n % 1000;
    std::string head;
    if (t > 0) {
        const int last = t % 10, tens = t % 100 / 10;
        const bool one = last == 1 && tens != 1 && (t == 1 || w.oneInCompounds);
        const int form = one ? 0 : last >= 2 && last <= 4 && tens != 1 ? 1 : 2;
        head = t == 1 ? w.thousands[0] : slavicBelow1000(t, w, true) + " " + w.thousands[form];
    }
    return joined(head, " ", r ? slavicBelow1000(r, w, false) : "");
}

const char* const kRuUnits[] = {"ноль",         "один",        "два",        "три",          "четыре",
                                "пять",         "шесть",       "семь",       "восемь",       "девять",
                                "десять",       "одиннадцать", "двенадцать", "тринадцать",   "четырнадцать",
                                "пятнадцать",   "шестнадцать", "семнадцать", "восемнадцать", "девятнадцать"};
const char* const kRuTens[] = {"", "", "двадцать", "тридцать", "сорок", "пятьдесят", "шестьдесят", "семьдесят",
                               "восемьдесят", "девяносто"};
const char* const kRuHundreds[] = {"", "сто", "двести", "триста", "четыреста", "пятьсот", "шестьсот", "семьсот",
                                   "восемьсот", "девятьсот"};
const SlavicWords kRussian{kRuUnits, kRuTens, kRuHundreds, "одна", "две", {"тысяча", "тысячи", "тысяч"}, true};

const char* const kPlUnits[] = {"zero",        "jeden",       "dwa",        "trzy",         "cztery",
                                "pięć",        "sześć",       "siedem",     "osiem",        "dziewięć",
                                "dziesięć",    "jedenaście",  "dwanaście",  "trzynaście",   "czternaście",
                                "piętnaście",  "szesnaście",  "siedemnaście", "osiemnaście", "dziewiętnaście"};
const char* const kPlTens[] = {"", "", "dwadzieścia", "trzydzieści", "czterdzieści", "pięćdziesiąt",
                               "sześćdziesiąt", "siedemdziesiąt", "osiemdziesiąt", "dziewięćdziesiąt"};
const char* const kPlHundreds[] = {"", "sto", "dwieście", "trzysta", "czterysta", "pięćset", "sześćset",
                                   "siedemset", "osiemset", "dziewięćset"};
const SlavicWords kPolish{kPlUnits, kPlTens, kPlHundreds, "jeden", "dwa", {"tysiąc", "tysiące", "tysięcy"}, false};

// Russian ordinals: the last word ordinal, the words before it cardinal.
std::string ruOrdinal(int n) {
    static const char* const kOnes[] = {"первый", "второй", "третий", "четвёртый", "пятый",
                                        "шестой", "седьмой", "восьмой", "девятый"};
    static const char* const kTeens[] = {"десятый",       "одиннадцатый", "двенадцатый",  "тринадцатый",
                                         "четырнадцатый", "пятнадцатый",  "шестнадцатый", "семнадцатый",
                                         "восемнадцатый", "девятнадцатый"};
    static const char* const kTens[] = {"двадцатый",  "тридцатый",  "сороковой",   "пятидесятый",
                                        "шестидесятый", "семидесятый", "восьмидесятый", "девяностый"};
    static const char* const kHundreds[] = {"сотый",     "двухсотый",  "трёхсотый",  "четырёхсотый", "пятисотый",
                                            "шестисотый", "семисотый", "восьмисотый", "девятисотый"};
    if (n < 1 || n > 999) return {};
    const int r = n % 100, h = n - r;
    const std::string head = h > 0 && r > 0 ? slavicCardinal(h, kRussian) : "";
    if (r == 0) return kHundreds[n / 100 - 1];
    if (r < 10) return joined(head, " ", kOnes[r - 1]);
    if (r < 20) return joined(head, " ", kTeens[r - 10]);
    if (r % 10 == 0) return joined(head, " ", kTens[r / 10 - 2]);
    return joined(joined(head, " ", kRuTens[r / 10]), " ", kOnes[r % 10 - 1]);
}

const char* const kPlOrdOnes[] = {"pierwszy", "drugi", "trzeci", "czwarty", "piąty",
                                  "szósty",   "siódmy", "ósmy",  "dziewiąty"};
const char* const kPlOrdTens[] = {"dziesiąty",       "dwudziesty",       "trzydziesty",     "czterdziesty",
                                  "pięćdziesiąty",   "sześćdziesiąty",   "siedemdziesiąty", "osiemdziesiąty",
                                  "dziewięćdziesiąty"};
const char* const kPlOrdHundreds[] = {"setny",     "dwusetny",  "trzechsetny", "czterechsetny", "pięćsetny",
                                      "sześćsetny", "siedemsetny", "osiemsetny", "dziewięćsetny"};
const char* const kPlOrdTeens[] = {"jedenasty", "dwunasty",     "trzynasty",   "czternasty", "piętnasty",
                                   "szesnasty", "siedemnasty", "osiemnasty", "dziewiętnasty"};
const PartOrdinals kPlOrdinals{kPlOrdOnes, kPlOrdTens, kPlOrdHundreds, kPlOrdTeens, kPlHundreds};

// ---------------------------------------------------------------------------

struct Language {
    std::string (*cardinal)(int n, std::string_view tag);
    std::string (*ordinal)(int n, std::string_view tag);
};

const Language& languageOf(std::string_view tag) {
    static const std::unordered_map<std::string, Language> table = {
        {"fr", {[](int n, std::string_view) { return frCardinal(n); }, [](int n, std::string_view) { return frOrdinal(n); }}},
        {"de", {[](int n, std::string_view) { return deCardinal(n); }, [](int n, std::string_view) { return deOrdinal(n); }}},
        {"es",
         {[](int n, std::string_view) { return esCardinal(n); },
          [](int n, std::string_view) { return partOrdinal(n, kEsOrdinals); }}},
        {"it", {[](int n, std::string_view) { return itCardinal(n); }, [](int n, std::string_view) { return itOrdinal(n); }}},
        {"pt",
         {[](int n, std::string_view t) { return ptCardinal(n, endsWith(t, "PT") || endsWith(t, "pt")); },
          [](int n, std::string_view) { return partOrdinal(n, kPtOrdinals); }}},
        {"nl", {[](int n, std::string_view) { return nlCardinal(n); }, [](int n, std::string_view) { return nlOrdinal(n); }}},
        {"ru",
         {[](int n, std::string_view) { return slavicCardinal(n, kRussian); },
          [](int n, std::string_view) { return ruOrdinal(n); }}},
        {"pl",
         {[](int n, std::string_view) { return slavicCardinal(n, kPolish); },
          [](int n, std::string_view) { return partOrdinal(n, kPlOrdinals); }}},
    };
    static const Language english{[](int n, std::string_view) { return enCardinal(n); },
                                  [](int n, std::string_view) { return enOrdinal(n); }};
    const auto it = table.find(primaryLanguage(tag));
    return it == table.end() ? english : it->second;
}

}  // namespace

std::string primaryLanguage(std::string_view tag) {
    std::string out;
    for (const char c : tag) {
        if (c == '-' || c == '_') break;
        out += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return out;
}

std::string cardinalWords(int n, std::string_view language) {
    if (n < 0 || n >= 1000000) return std::to_string(n);
    return languageOf(language).cardinal(n, language);
}

std::string ordinalWords(int n, std::string_view language) {
    if (n < 1 || n >= 1000000) return ordinalDigits(n, language);
    std::string s = languageOf(language).ordinal(n, language);
    return s.empty() ? ordinalDigits(n, language) : s;
}

std::string ordinalDigits(int n, std::string_view language) {
    const std::string lang = primaryLanguage(language);
    const std::string d = std::to_string(n);
    if (lang == "fr") return d + (n == 1 ? "er" : "e");
    if (lang == "de" || lang == "pl") return d + ".";
    if (lang == "es" || lang == "it" || lang == "pt") return d + "º";
    if (lang == "nl") return d + "e";
    if (lang == "ru") return d + "-й";
    const int tens = n % 100;
    const char* suffix = tens >= 11 && tens <= 13 ? "th" : n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
    return d + suffix;
}

std::string capitalised(std::string text) {
    if (text.empty()) return text;
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 >= 'a' && b0 <= 'z') {
        text[0] = static_cast<char>(b0 - 32);
    } else if (b0 == 0xC3 && text.size() > 1 && static_cast<unsigned char>(text[1]) >= 0xA0 &&
               static_cast<unsigned char>(text[1]) <= 0xBE) {
        text[1] = static_cast<char>(static_cast<unsigned char>(text[1]) - 0x20);  // é -> É
    } else if (b0 == 0xD0 && text.size() > 1) {
        const auto b1 = static_cast<unsigned char>(text[1]);
        if (b1 >= 0xB0 && b1 <= 0xBF) text[1] = static_cast<char>(b1 - 0x20);  // а-п -> А-П
    } else if (b0 == 0xD1 && text.size() > 1) {
        const auto b1 = static_cast<unsigned char>(text[1]);
        if (b1 >= 0x80 && b1 <= 0x8F) {  // р-я -> Р-Я
            text[0] = static_cast<char>(0xD0);
            text[1] = static_cast<char>(b1 + 0x20);
        }
    }
    return text;
}

}  // namespace tavin
